#pragma once

#include "WAYWindowDelegateProxy.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;

// A frameless top-level window with a title bar of its own: as tall as asked
// (never below the style's), the title hidden, the close, minimise and zoom
// buttons placed by the window and centred in the bar. The content view fills
// the whole window, under the bar. Dragging the bar moves the window and the
// edges resize it through the window system, so both work on Wayland too.
//
//   auto *window = new WAYWindow;
//   window->setContentView(pane->view());
//   window->setTitleBarHeight(44.0);
//   window->setDelegate(controller); // gets windowDidResize(WAYWindow*) ... after the window
//   window->show();
class WAYWindow : public QWidget {
    Q_OBJECT
public:
    explicit WAYWindow(QWidget *parent = nullptr);
    ~WAYWindow() override;

    // There is no blurred-background view on this desktop.
    static bool supportsVibrantAppearances() { return false; }
    // The style's title-bar height.
    static float defaultTitleBarHeight();

    // 0 until the first set; then never below defaultTitleBarHeight(). The
    // window grows by the difference, keeping its content's size and top edge.
    double titleBarHeight() const { return m_titleBarHeight; }
    void setTitleBarHeight(double height);
    // How much taller than the default the bar is.
    double accessoryHeight() const { return m_accessoryHeight; }

    bool centerTrafficLightButtons() const { return m_centerButtons; }
    void setCenterTrafficLightButtons(bool center);
    // Stored only; the buttons move at the next layout.
    double trafficLightButtonsLeftMargin() const { return m_leftMargin; }
    void setTrafficLightButtonsLeftMargin(double margin) { m_leftMargin = margin; }
    double trafficLightButtonsTopMargin() const { return m_topMargin; }
    void setTrafficLightButtonsTopMargin(double margin) { m_topMargin = margin; }
    bool hidesTitle() const { return m_hidesTitle; }
    void setHidesTitle(bool hides);

    QWidget *titleBarView() const { return m_titleBar; }
    // Close, minimise, zoom.
    QList<QToolButton *> standardButtons() const { return m_standardButtons; }

    // The application's delegate; messages reach it after the window.
    QObject *delegate() const {
        return m_proxy.secondaryDelegate() == this ? nullptr : m_proxy.secondaryDelegate();
    }
    void setDelegate(QObject *delegate);
    WAYWindowDelegateProxy &delegateProxy() { return m_proxy; }

    QWidget *contentView() const { return m_contentView; }
    // The window takes the view; the one before is deleted.
    void setContentView(QWidget *view);

    // Blurred backgrounds: nothing happens without support.
    void setContentViewAppearance(int material);
    void setContentViewAppearanceVibrantDark() { setContentViewAppearance(2); }
    void setContentViewAppearanceVibrantLight() { setContentViewAppearance(1); }
    // The dark or the light palette for the whole window.
    void setVibrantDarkAppearance();
    void setVibrantLightAppearance();
    void setAquaAppearance();
    static QPalette appearancePalette(bool dark);

    // Moves oldView's children into newView at their frames and puts newView in
    // oldView's place (as content view or in its parent); oldView is deleted later.
    void replaceSubview(QWidget *oldView, QWidget *newView, bool resizing);
    template <typename K> K *replaceSubviewWithViewOfClass(QWidget *oldView) {
        auto *view = new K;
        view->setGeometry(oldView->geometry());
        replaceSubview(oldView, view, true);
        return view;
    }

    // Places the bar and the window buttons.
    void setNeedsLayout();

    // The window's own answer to its resize message.
    Q_INVOKABLE void windowDidResize(WAYWindow *window);

    // The line round the window, against its own background (3:1, as for any border that matters).
    static QColor borderColor(const QPalette &palette);
    static constexpr int kBorderWidth = 1;
    static constexpr double kBorderContrast = 3.0;
    QWidget *borderView() const { return m_border; }

    static constexpr double kButtonSpacing = 6.0;
    static constexpr int kButtonSize = 20;
    static constexpr int kResizeMargin = 5;
    static constexpr const char *kAutoLayoutWarning =
        "WARNING: [%@ %@] does not work yet with NSView instances, that use auto-layout.";

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUp();
    Qt::Edges edgesAt(const QPoint &pos) const;
    QVariant send(const char *selector);

    WAYWindowDelegateProxy m_proxy;
    QWidget *m_titleBar = nullptr;
    QLabel *m_titleLabel = nullptr;
    QWidget *m_border = nullptr;
    QPointer<QWidget> m_contentView;
    QList<QToolButton *> m_standardButtons;
    double m_titleBarHeight = 0.0;
    double m_accessoryHeight = 0.0;
    double m_leftMargin = 0.0;
    double m_topMargin = 0.0;
    bool m_centerButtons = true;
    bool m_hidesTitle = true;
};
