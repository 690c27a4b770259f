#pragma once

#include "QVMSettingsController.h"

#include "ui/controls/WAYWindow.h"

#include <QObject>
#include <QPointer>

// The settings window: a WAYWindow with a 44-high title bar on the text
// background, holding a QVMSettingsController. The main window makes it by
// name and drives it through the invokables:
//
//   controller->setTabToOpen(2);
//   controller->showWindow();      // loads the content on tab 2
//   controller->window()->move(...);
//   controller->selectTab(2);      // the tab just opened: nothing more happens
//
// Escape and Ctrl+W close the window; closing deletes the controller later.
class QVMSettingsWindowController : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit QVMSettingsWindowController(QObject *parent = nullptr);
    ~QVMSettingsWindowController() override;

    Q_INVOKABLE void setTabToOpen(qint64 tab);
    qint64 tabToOpen() const { return m_tabToOpen; }
    Q_INVOKABLE void showWindow();
    Q_INVOKABLE QWidget *window();
    Q_INVOKABLE void selectTab(qint64 tab);
    Q_INVOKABLE void close();

    WAYWindow *wayWindow() const { return m_window; }
    QVMSettingsController *contentViewController() const { return m_content; }

    static constexpr double kTitleBarHeight = 44.0;

private:
    void windowDidLoad();

    QPointer<WAYWindow> m_window;
    QPointer<QVMSettingsController> m_content;
    qint64 m_tabToOpen = 0;
    // The tab showWindow opened on, until another selection.
    int m_openedTab = -1;
};
