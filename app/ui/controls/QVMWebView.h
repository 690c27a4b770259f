#pragma once

#include <QPointer>
#include <QSizeF>
#include <QUrl>
#include <QWebEngineView>

#include <functional>
#include <memory>

class QAbstractScrollArea;
class QWebEngineProfile;

// The program's one web view. Pages load in an off-the-record profile shared
// by every view (no cookies, cache or history reach the disk), and only http
// and https addresses are navigated to; anything else is refused and reported
// through navigationRefused. Links that open a new window open in this view.
//
//   auto *web = new QVMWebView(parent);
//   connect(web, &QVMWebView::navigationRefused, this, [](const QUrl &url) { ... });
//   web->loadAddress(QUrl("https://example.org"));          // false: not http(s), nothing loads
//   web->contentSizeWithBlock([](QSizeF size) { ... });     // (0, 0) when the page cannot tell
//
// Inside an enclosing scroll area the view hands wheel events to it, so the
// area scrolls rather than the page; on its own the page scrolls itself.
class QVMWebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit QVMWebView(QWidget *parent = nullptr);
    ~QVMWebView() override;

    // The shared off-the-record profile.
    static QWebEngineProfile *offTheRecordProfile();
    static bool isWebAddress(const QUrl &url);

    // Loads an http(s) address; false (and nothing loaded) for any other.
    bool loadAddress(const QUrl &url);

    // Measures the loaded page: "document.readyState", then the body's scroll
    // width, then its scroll height, each asked once the one before answered.
    // Any missing answer gives (0, 0). The block runs on the main thread, not
    // at all once the view's destruction has begun (the page answers pending
    // scripts while it is torn down, when a QPointer to the view still holds).
    using SizeBlock = std::function<void(QSizeF size)>;
    void contentSizeWithBlock(SizeBlock block);

    // Names the view and the widgets the page draws in (which take the focus and
    // reach screen readers), now and whenever the page makes new ones.
    void setAccessibleNameAndToolTip(const QString &name, const QString &toolTip);

    // True while an ancestor is a scroll area that takes the wheel.
    bool handsWheelOn() const;

    // False from the first line of the view's destructor on: callbacks that may run
    // while the view is taken apart keep this rather than the view.
    std::shared_ptr<const bool> aliveFlag() const { return m_alive; }

    static constexpr const char *kReadyStateScript = "document.readyState";
    static constexpr const char *kScrollWidthScript = "document.body.scrollWidth";
    static constexpr const char *kScrollHeightScript = "document.body.scrollHeight";

signals:
    void navigationRefused(const QUrl &url);
    // The page made a widget to draw in; it takes the focus for the view, so a
    // window keeping its Tab order places it again.
    void innerWidgetAdded(QWidget *inner);

protected:
    QWebEngineView *createWindow(QWebEnginePage::WebWindowType type) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    void watchChild(QObject *child);
    void nameInnerWidget(QWidget *inner) const;
    QAbstractScrollArea *enclosingScrollArea() const;
};
