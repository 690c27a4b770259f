#pragma once

#include <QMainWindow>
#include <QPointer>

// Owns the main window. For now the window only carries its title; the
// translation view arrives with the interface work.
class QVGeneralWindowController : public QObject {
    Q_OBJECT
public:
    explicit QVGeneralWindowController(QObject *parent = nullptr);
    ~QVGeneralWindowController() override;

    QMainWindow *window() const { return m_window; }
    void showWindow();
    void close();

    // "Quorvalde Translator v %@" with the short version.
    static QString windowTitle();

private:
    QPointer<QMainWindow> m_window;
};
