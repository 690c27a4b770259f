#include "services/graphics/QVMStyleService.h"

#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace {

bool paletteIsDark() {
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

// The portal wraps its answer in one or two variants depending on its version.
QVariant unwrapped(QVariant value) {
    for (int depth = 0; depth < 4 && value.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    return value;
}

} // namespace

QVMStyleService &QVMStyleService::shared() {
    static QVMStyleService *service = new QVMStyleService;
    return *service;
}

QVMStyleService::QVMStyleService() {
    // Moved before anything can reach the main thread, which may start using it at once.
    if (QCoreApplication *app = QCoreApplication::instance())
        moveToThread(app->thread());
    // The first answer already follows the desktop; the portal answers in milliseconds,
    // and a slow one is caught up with by the asynchronous read below.
    readDesktopColorScheme(kFirstReadTimeoutMs);
    // The palette, the application's events and the bus belong to the main thread.
    const auto start = [this] {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->installEventFilter(this);
        m_paletteDark = paletteIsDark();
        m_announced = computeDarkMode();
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            // Any sender: a restarted portal comes back under another connection name.
            bus.connect(QString(), QString::fromLatin1(kPortalPath),
                        QString::fromLatin1(kPortalSettingsInterface), QStringLiteral("SettingChanged"), this,
                        SLOT(onSettingChanged(QDBusMessage)));
        }
        refreshDesktopColorScheme();
    };
    if (platform::isMainThread())
        start();
    else
        platform::dispatchAsyncMain(start);
}

bool QVMStyleService::isDarkMode() {
    QVMStyleService &service = shared();
    if (platform::isMainThread())
        service.m_paletteDark = paletteIsDark();
    return service.computeDarkMode();
}

bool QVMStyleService::computeDarkMode() const {
    switch (ColorScheme(m_scheme.load())) {
    case ColorScheme::Dark:
        return true;
    case ColorScheme::Light:
        return false;
    case ColorScheme::NoPreference:
        break;
    }
    return m_paletteDark.load();
}

void QVMStyleService::setDesktopColorScheme(ColorScheme scheme) {
    m_scheme = int(scheme);
    if (platform::isMainThread())
        announceIfChanged();
    else
        platform::dispatchAsyncMain([this] { announceIfChanged(); });
}

QDBusMessage QVMStyleService::colorSchemeReadCall() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kPortalService), QString::fromLatin1(kPortalPath),
                                       QString::fromLatin1(kPortalSettingsInterface), QStringLiteral("Read"));
    call << QString::fromLatin1(kAppearanceNamespace) << QString::fromLatin1(kColorSchemeKey);
    return call;
}

bool QVMStyleService::readDesktopColorScheme(int timeoutMs) {
    if (!QCoreApplication::instance())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusMessage reply = bus.call(colorSchemeReadCall(), QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    applySchemeValue(reply.arguments().first());
    return true;
}

void QVMStyleService::refreshDesktopColorScheme() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(colorSchemeReadCall()), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusMessage reply = finished->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            applySchemeValue(reply.arguments().first());
    });
}

void QVMStyleService::onSettingChanged(const QDBusMessage &message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() == 3 && arguments.at(0).toString() == QLatin1String(kAppearanceNamespace) &&
        arguments.at(1).toString() == QLatin1String(kColorSchemeKey))
        applySchemeValue(arguments.at(2));
}

void QVMStyleService::applySchemeValue(const QVariant &value) {
    bool ok = false;
    const uint scheme = unwrapped(value).toUInt(&ok);
    setDesktopColorScheme(ok && scheme <= 2 ? ColorScheme(scheme) : ColorScheme::NoPreference);
}

bool QVMStyleService::eventFilter(QObject *watched, QEvent *event) {
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        paletteChanged();
    return QObject::eventFilter(watched, event);
}

void QVMStyleService::paletteChanged() {
    m_paletteDark = paletteIsDark();
    announceIfChanged();
}

void QVMStyleService::announceIfChanged() {
    const bool dark = computeDarkMode();
    if (dark == m_announced)
        return;
    m_announced = dark;
    emit darkModeChanged(dark);
}
