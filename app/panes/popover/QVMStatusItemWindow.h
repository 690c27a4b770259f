#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QVBoxLayout;

// The frameless window that hangs from the tray icon and holds one content
// view at a time. It reports losing the activation it had (a click elsewhere)
// and takes file drops, since a tray icon takes none.
class QVMStatusItemWindow : public QWidget {
    Q_OBJECT
public:
    explicit QVMStatusItemWindow(QWidget *parent = nullptr);

    // Puts the view in, taking the previous one out (hidden, without a parent); the view keeps its owner.
    void setContentView(QWidget *view);
    QWidget *contentView() const { return m_content; }
    bool wasActivated() const { return m_wasActive; }

    using DropHandler = std::function<void(const QStringList &paths)>;
    void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
    bool acceptsDrops() const { return bool(m_dropHandler); }

signals:
    void didResignKey();
    void escapePressed();
    void willClose();
    // The content grew or shrank (a message line, a longer text).
    void resized();

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QVBoxLayout *m_layout;
    QWidget *m_content = nullptr;
    bool m_wasActive = false;
    DropHandler m_dropHandler;
};
