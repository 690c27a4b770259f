#include "QVMWebView.h"

#include "QVMWebPage.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QChildEvent>
#include <QWebEngineProfile>
#include <QWheelEvent>

namespace {

// A JavaScript answer that exists and is a number.
bool readNumber(const QVariant &value, double *number) {
    if (!value.isValid() || value.isNull())
        return false;
    bool ok = false;
    *number = value.toDouble(&ok);
    return ok;
}

} // namespace

QVMWebView::QVMWebView(QWidget *parent) : QWebEngineView(parent) {
    auto *page = new QVMWebPage(offTheRecordProfile(), this);
    connect(page, &QVMWebPage::navigationRefused, this, &QVMWebView::navigationRefused);
    setPage(page);
    // A stop of its own in the Tab chain, so that a window can place the view; the focus goes on to
    // the widget the page draws in.
    setFocusPolicy(Qt::StrongFocus);
    installEventFilter(this);
    for (QObject *child : children())
        watchChild(child);
}

QVMWebView::~QVMWebView() {
    *m_alive = false;
    // The page is deleted after this body and reports loads and scrolls while it goes.
    blockSignals(true);
    if (QWebEnginePage *own = page())
        own->blockSignals(true);
}

QWebEngineProfile *QVMWebView::offTheRecordProfile() {
    // A profile without a storage name keeps nothing on disk. It lives as long as the application.
    static QPointer<QWebEngineProfile> profile;
    if (!profile)
        profile = new QWebEngineProfile(QCoreApplication::instance());
    return profile;
}

bool QVMWebView::isWebAddress(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool QVMWebView::loadAddress(const QUrl &url) {
    if (!isWebAddress(url))
        return false;
    load(url);
    return true;
}

void QVMWebView::contentSizeWithBlock(SizeBlock block) {
    if (!block || !*m_alive)
        return;
    QPointer<QVMWebView> self(this);
    const std::shared_ptr<const bool> alive = m_alive;
    // The flag first: converting the pointer of an object being destroyed is itself undefined.
    const auto gone = [self, alive] { return !*alive || self.isNull(); };
    const auto fail = [block] { block(QSizeF(0, 0)); };
    page()->runJavaScript(QString::fromLatin1(kReadyStateScript), [self, gone, block,
                                                                   fail](const QVariant &state) {
        if (gone())
            return;
        if (!state.isValid() || state.isNull())
            return fail();
        self->page()->runJavaScript(
            QString::fromLatin1(kScrollWidthScript), [self, gone, block, fail](const QVariant &widthValue) {
                double width = 0;
                if (gone())
                    return;
                if (!readNumber(widthValue, &width))
                    return fail();
                self->page()->runJavaScript(QString::fromLatin1(kScrollHeightScript),
                                            [gone, block, fail, width](const QVariant &heightValue) {
                                                double height = 0;
                                                if (gone())
                                                    return;
                                                if (!readNumber(heightValue, &height))
                                                    return fail();
                                                block(QSizeF(float(width), float(height)));
                                            });
            });
    });
}

void QVMWebView::setAccessibleNameAndToolTip(const QString &name, const QString &toolTip) {
    setAccessibleName(name);
    setToolTip(toolTip);
    for (QWidget *inner : findChildren<QWidget *>())
        nameInnerWidget(inner);
}

void QVMWebView::nameInnerWidget(QWidget *inner) const {
    inner->setAccessibleName(accessibleName());
    inner->setToolTip(toolTip());
}

bool QVMWebView::handsWheelOn() const {
    return enclosingScrollArea() != nullptr;
}

QAbstractScrollArea *QVMWebView::enclosingScrollArea() const {
    for (QWidget *ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (auto *area = qobject_cast<QAbstractScrollArea *>(ancestor))
            return area;
    }
    return nullptr;
}

QWebEngineView *QVMWebView::createWindow(QWebEnginePage::WebWindowType type) {
    Q_UNUSED(type)
    return this;
}

bool QVMWebView::event(QEvent *event) {
    if (event->type() == QEvent::ChildAdded)
        watchChild(static_cast<QChildEvent *>(event)->child());
    // The page makes its drawing widget when it first renders, after the view was named.
    if (event->type() == QEvent::ChildPolished) {
        if (QObject *child = static_cast<QChildEvent *>(event)->child(); child && child->isWidgetType()) {
            nameInnerWidget(static_cast<QWidget *>(child));
            emit innerWidgetAdded(static_cast<QWidget *>(child));
        }
    }
    return QWebEngineView::event(event);
}

void QVMWebView::watchChild(QObject *child) {
    // The page draws into a child widget, which receives the wheel first.
    if (child && child->isWidgetType())
        child->installEventFilter(this);
}

bool QVMWebView::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Wheel) {
        if (QAbstractScrollArea *area = enclosingScrollArea()) {
            // Unchanged to the enclosing view; the page never scrolls by the wheel there.
            auto *wheel = static_cast<QWheelEvent *>(event);
            QWidget *viewport = area->viewport();
            QWheelEvent handed(viewport->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                               wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                               wheel->phase(), wheel->inverted(), wheel->source());
            QApplication::sendEvent(viewport, &handed);
            return true;
        }
    }
    return QWebEngineView::eventFilter(watched, event);
}
