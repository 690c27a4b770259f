#include "ui/foundation/QVMBaseVC.h"

#include "core/DevLog.h"
#include "core/QVScreenPresentManager.h"
#include "core/settings/QVSettingsService.h"
#include "platform/MainQueue.h"
#include "platform/NetworkStatus.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/controls/QVMSpinner.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMUtils.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>

namespace {

bool isReachable(int status) {
    return status == 1 || status == 2;
}

} // namespace

QVMBaseVC::QVMBaseVC(QObject *parent) : QObject(parent) {
    // The most derived class exists only once construction is over.
    QMetaObject::invokeMethod(
        this, [this] { rememberClassName(); }, Qt::QueuedConnection);
}

QVMBaseVC::~QVMBaseVC() {
    DevLog(QString::fromLatin1(kViewControllerLogFormat), QStringLiteral("dealloc"), className());
    if (m_reachabilityToken)
        platform::NotificationCenter::defaultCenter().removeObserver(m_reachabilityToken);
    disconnect(m_stateConnection);
    disconnect(m_themeConnection);
    if (m_view) {
        m_view->removeEventFilter(this);
        // A view placed inside another widget belongs to that widget.
        if (!m_view->parentWidget() || m_view->isWindow())
            delete m_view;
    }
}

QString QVMBaseVC::className() const {
    rememberClassName();
    return m_className;
}

void QVMBaseVC::rememberClassName() const {
    if (m_className.isEmpty() || m_className == QLatin1String(QVMBaseVC::staticMetaObject.className()))
        m_className = QString::fromLatin1(metaObject()->className());
}

QWidget *QVMBaseVC::loadView() {
    return new QWidget;
}

QWidget *QVMBaseVC::view() {
    if (m_loaded)
        return m_view;
    m_loaded = true;
    rememberClassName();
    m_view = loadView();
    if (!m_view)
        m_view = new QWidget;
    m_view->installEventFilter(this);
    DevLog(QString::fromLatin1(kViewControllerLogFormat), QStringLiteral("viewDidLoad"), className());
    setUpBase();
    viewDidLoad();
    return m_view;
}

void QVMBaseVC::setUpBase() {
    m_inBackground = false;
    m_settings = QVSettingsService::defaultSettings();
    m_reachabilityToken = platform::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(platform::NetworkStatus::kReachabilityChangedNotification),
        [this](const QVariantMap &userInfo) {
            const int status =
                userInfo.contains(QLatin1String(platform::NetworkStatus::kStatusKey))
                    ? userInfo.value(QLatin1String(platform::NetworkStatus::kStatusKey)).toInt()
                    : platform::NetworkStatus::shared().currentStatus();
            if (!isReachable(status))
                DevLog(QString::fromLatin1(kUnreachableLog));
            reachabilityDidChange(status);
        });
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        m_stateConnection = connect(app, &QGuiApplication::applicationStateChanged, this,
                                    &QVMBaseVC::applicationStateChanged);
}

void QVMBaseVC::applicationStateChanged(Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) {
        const bool wasInBackground = m_inBackground;
        m_inBackground = false;
        if (wasInBackground)
            didBecomeActive();
        return;
    }
    if (!m_inBackground) {
        m_inBackground = true;
        didEnterBackground();
    }
}

bool QVMBaseVC::isNetworkAvailableNoMessage() const {
    return QVMUtils::isNetworkAvailable();
}

bool QVMBaseVC::eventFilter(QObject *watched, QEvent *event) {
    // New window flags hide and show the window again: not a new showing.
    if (watched == m_view && !m_changingWindowFlags) {
        switch (event->type()) {
        case QEvent::Show:
            appear();
            break;
        case QEvent::Hide:
            disappear();
            break;
        default:
            break;
        }
    } else if (event->type() == QEvent::Close) {
        for (const QPointer<QVMBaseVC> &presented : std::as_const(m_presented)) {
            if (presented && presented->m_view == watched) {
                QPointer<QVMBaseVC> closing = presented;
                QTimer::singleShot(0, this, [this, closing] {
                    if (closing)
                        presentedWindowClosed(closing);
                });
                break;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void QVMBaseVC::appear() {
    // A minimised window hides and shows again spontaneously; the view stays on screen for the user.
    if (m_appeared)
        return;
    m_appeared = true;
    viewWillAppear();
    QPointer<QVMBaseVC> self(this);
    QTimer::singleShot(0, this, [self] {
        if (self && self->m_appeared && self->m_view && self->m_view->isVisible())
            self->viewDidAppear();
    });
}

void QVMBaseVC::disappear() {
    if (!m_appeared || (m_view && m_view->isVisible()))
        return;
    m_appeared = false;
    viewWillDisappear();
    QVScreenPresentManager::shared().resetAfterCloseIfNeeded();
    viewDidDisappear();
}

bool QVMBaseVC::showModalViewController(QVMBaseVC *controller) {
    if (!controller)
        return false;
    QWidget *content = controller->view();
    QWidget *owner = m_view ? m_view->window() : nullptr;
    controller->setParent(this);
    controller->m_presenting = this;
    if (!m_presented.contains(controller))
        m_presented.append(controller);
    content->setParent(owner, Qt::Dialog);
    content->setWindowModality(Qt::ApplicationModal);
    content->installEventFilter(this);
    // Over the middle of the window it belongs to, as a sheet would be; without a window
    // manager (or before one places it) a new window would otherwise sit in the screen's corner.
    if (owner) {
        if (!content->testAttribute(Qt::WA_Resized)) // a size the presenter fitted stays
            content->adjustSize();
        content->move(owner->frameGeometry().center() - QPoint(content->width() / 2, content->height() / 2));
    }
    content->show();
    return true;
}

void QVMBaseVC::dismissViewController(QVMBaseVC *controller) {
    if (!controller || !m_presented.contains(controller))
        return;
    m_presented.removeAll(controller);
    controller->m_presenting = nullptr;
    if (controller->m_view) {
        controller->m_view->removeEventFilter(this);
        controller->m_view->close();
    }
    controller->deleteLater();
}

void QVMBaseVC::dismissController() {
    if (m_presenting)
        m_presenting->dismissViewController(this);
}

void QVMBaseVC::presentedWindowClosed(QVMBaseVC *controller) {
    if (controller->m_view && controller->m_view->isVisible())
        return; // the close was refused
    dismissViewController(controller);
}

QList<QVMBaseVC *> QVMBaseVC::presentedViewControllers() const {
    QList<QVMBaseVC *> controllers;
    for (const QPointer<QVMBaseVC> &presented : m_presented) {
        if (presented)
            controllers.append(presented);
    }
    return controllers;
}

QObject *QVMBaseVC::viewControllerWithStoryboardName(const QString &storyboard, const QString &identifier,
                                                     QObject *parent, platform::Error *error) {
    return QVMInterfaceFactory::shared().instantiateController(storyboard, identifier, parent, error);
}

platform::Error QVMBaseVC::performSegueWithIdentifier(const QString &identifier, QObject *sender) {
    platform::Error error;
    QVMInterfaceFactory::SegueKind kind = QVMInterfaceFactory::SegueKind::Show;
    QObject *destination =
        QVMInterfaceFactory::shared().instantiateSegueDestination(identifier, this, &kind, &error);
    if (!destination)
        return error;
    prepareForSegue(identifier, destination, sender);
    auto *controller = qobject_cast<QVMBaseVC *>(destination);
    if (controller && kind == QVMInterfaceFactory::SegueKind::Modal) {
        showModalViewController(controller);
        return {};
    }
    if (controller) {
        QWidget *window = controller->view();
        window->setParent(m_view ? m_view->window() : nullptr, Qt::Window);
        window->show();
        return {};
    }
    if (!QMetaObject::invokeMethod(destination, "showWindow")) {
        delete destination;
        error = platform::Error(QString::fromLatin1(QVMInterfaceFactory::kErrorDomain),
                                QVMInterfaceFactory::WrongType,
                                QStringLiteral("The destination of \"%1\" cannot be shown").arg(identifier));
        return error;
    }
    return {};
}

void QVMBaseVC::observeThemeColor() {
    if (m_themeConnection)
        return;
    m_themeConnection = connect(&QVMStyleService::shared(), &QVMStyleService::darkModeChanged, this,
                                [this](bool dark) { didChangeColorTheme(dark); });
}

void QVMBaseVC::cancelObserveThemeColor() {
    disconnect(m_themeConnection);
    m_themeConnection = {};
}

void QVMBaseVC::showSpinner() {
    QPointer<QVMBaseVC> self(this);
    // The view is made on the main thread, whoever asks.
    platform::dispatchAsyncMain([self] {
        if (self)
            QVMSpinner::showSpinner(self->view(), self);
    });
}

void QVMBaseVC::hideSpinner() {
    QPointer<QVMBaseVC> self(this);
    platform::dispatchAsyncMain([self] {
        if (self && self->m_view)
            QVMSpinner::hideSpinner(self->m_view, self);
    });
}

void QVMBaseVC::removeWindowButtonsAndTitle() {
    QWidget *window = view()->window();
    const Qt::WindowFlags flags =
        (window->windowFlags() &
         ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
           Qt::WindowTitleHint | Qt::WindowSystemMenuHint)) |
        Qt::CustomizeWindowHint;
    window->setWindowTitle(QString());
    if (flags == window->windowFlags())
        return;
    // Changing the flags hides a shown window.
    const bool visible = window->isVisible();
    m_changingWindowFlags = true;
    window->setWindowFlags(flags);
    if (visible)
        window->show();
    m_changingWindowFlags = false;
}

void QVMBaseVC::resizeToFitInSize(const QSizeF &size, const QMarginsF &additionalInsets) {
    const QSizeF current = m_view ? QSizeF(m_view->size()) : QSizeF(0, 0);
    const qreal w = current.width();
    const qreal h = current.height();
    if (w > size.width()) {
        const qreal width = size.width() - additionalInsets.left() - additionalInsets.right();
        setPreferredContentSize(QSizeF(width, h * width / w));
    } else if (h > size.height()) {
        const qreal height = size.height() - additionalInsets.top() - additionalInsets.bottom();
        setPreferredContentSize(QSizeF(w * height / h, height));
    }
}
