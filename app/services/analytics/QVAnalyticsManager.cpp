#include "services/analytics/QVAnalyticsManager.h"

#include "core/DevLogger.h"
#include "services/analytics/QVAmplitudeSink.h"
#include "services/analytics/QVMatomoSink.h"
#include "core/settings/QVTranslateSettings.h"
#include "core/settings/QVAuthService.h"
#include "core/QVEnvironment.h"

#include "platform/BackendConfig.h"
#include "platform/Bundle.h"
#include "platform/CrashReporter.h"
#include "platform/Format.h"
#include "platform/SystemLog.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QLocale>
#include <QSysInfo>
#include <QTextBoundaryFinder>
#include <QUuid>

#include <stdexcept>

namespace {

QUrl analyticsEndpoint(const char *path) {
    QUrl url = platform::BackendConfig::analyticsHost();
    url.setPath(url.path() + QString::fromLatin1(path));
    return url;
}

QString orNull(const QString &value) {
    return value.isEmpty() ? QString::fromLatin1(QVAnalyticsManager::kNull) : value;
}

// Web-analytics custom variables: index -> property name (7 is not used).
const QList<QPair<int, const char *>> kCustomVariables = {
    {1, "Platform"}, {2, "OS"},       {3, "Build"}, {4, "Quorvalde ID"},   {5, "Carrier"},
    {6, "User ID"},  {8, "Language"}, {9, "Email"}, {10, "Is Authorized"}, {13, "Subplatform"},
};

// Properties the crash reporter keeps as custom values.
const char *const kCrashReporterProperties[] = {
    "Platform", "OS",       "App Version", "Quorvalde ID",  "Carrier",
    "User ID",  "Language", "Email",       "Is Authorized", "Subplatform",
};

} // namespace

QVAnalyticsManager &QVAnalyticsManager::shared() {
    static QVAnalyticsManager *manager = new QVAnalyticsManager; // lives for the whole process
    return *manager;
}

QVAnalyticsManager::QVAnalyticsManager()
    : m_product(std::make_unique<QVAmplitudeSink>(
          QString::fromLatin1(kProductAnalyticsKey), [] { return analyticsEndpoint("/2/httpapi"); },
          visitorId(), kDispatchIntervalMs)) {
    if (QCoreApplication *app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, app,
                         [] { QVAnalyticsManager::shared().flush(); });
}

QString QVAnalyticsManager::visitorId() {
    platform::UserDefaults &defaults = QVEnvironment::sharedDefaults();
    QString id = defaults.stringForKey(QString::fromLatin1(kVisitorIdKey));
    if (id.size() != 16) {
        id = QUuid::createUuid().toString(QUuid::Id128).left(16);
        defaults.setObject(id, QString::fromLatin1(kVisitorIdKey));
    }
    return id;
}

void QVAnalyticsManager::setSinks(std::unique_ptr<QVWebAnalyticsSink> web,
                                  std::unique_ptr<QVProductAnalyticsSink> product) {
    m_web = std::move(web);
    m_product = std::move(product);
}

void QVAnalyticsManager::flush(int timeoutMs) {
    if (m_web)
        m_web->flush(timeoutMs / 2);
    if (m_product)
        m_product->flush(timeoutMs / 2);
}

void QVAnalyticsManager::initializeTracking() {
    shared().configureMatomo();
}

void QVAnalyticsManager::configureMatomo() {
    m_web = std::make_unique<QVMatomoSink>(
        QString::fromLatin1(kSiteId), [] { return analyticsEndpoint("/piwik.php"); }, visitorId(),
        kDispatchIntervalMs);
    setCustomVariables();
    m_web->trackView({QString::fromLatin1(kViewStart)});
}

void QVAnalyticsManager::setUserId(const QString &userId) {
    platform::SystemLog::write(platform::format(QStringLiteral("[Analytics] userId: %@"), userId));
    if (shared().m_web)
        shared().m_web->setUserId(userId);
}

void QVAnalyticsManager::sendCampaign(const QString &name) {
    if (shared().m_web)
        shared().m_web->trackCampaign(name, QString());
}

void QVAnalyticsManager::trackViewsFromArray(const QStringList &views) {
    QVAnalyticsManager &manager = shared();
    if (manager.m_web)
        manager.m_web->trackView(views);
    if (manager.m_product && !views.isEmpty())
        manager.m_product->logEvent(views.first(), {});
}

void QVAnalyticsManager::trackEventWithCategory(const QString &category, const QString &action,
                                                const QString &name, const std::optional<double> &value) {
    if (shared().m_web)
        shared().m_web->trackEvent(category, action, name, value);
}

void QVAnalyticsManager::trackEventWithCategory(const QString &category, const QString &action,
                                                const QVariantMap &params) {
    try {
        trackEventWithCategory(category, action, webEventName(params), std::nullopt);
        if (shared().m_product)
            shared().m_product->logEvent(productEventName(category, action), params);
    } catch (const std::exception &exception) {
        DevLogger::logException(exception, QString::fromLatin1(kTrackEventMessage));
    } catch (...) {
        DevLogger::logException(std::runtime_error("unknown exception"),
                                QString::fromLatin1(kTrackEventMessage));
    }
}

QString QVAnalyticsManager::truncated(const QString &text, int limit) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int characters = 0;
    while (finder.toNextBoundary() >= 0) {
        if (++characters == limit)
            return finder.position() < text.size() ? text.left(finder.position()) : text;
    }
    return text;
}

QString QVAnalyticsManager::webEventName(const QVariantMap &params) {
    if (params.isEmpty())
        return {};
    QString name = QStringLiteral("Properties [");
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QVariant &value = it.value();
        QString text;
        if (!value.isValid() || value.isNull())
            text = QString::fromLatin1(kNull);
        else if (value.typeId() == QMetaType::QString)
            text = truncated(value.toString(), kNameValueLimit);
        else
            text = platform::format(QStringLiteral("%@"), value);
        const bool last = std::next(it) == params.cend();
        name += platform::format(QStringLiteral("%@: %@%@"), it.key(), text,
                                 last ? QString() : QStringLiteral(", "));
    }
    return name + QLatin1Char(']');
}

QString QVAnalyticsManager::productEventName(const QString &category, const QString &action) {
    return platform::format(QStringLiteral("%@%@"), category,
                            action.isEmpty() ? QString() : platform::format(QStringLiteral(": %@"), action));
}

QString QVAnalyticsManager::subplatformForBundleIdentifier(const QString &bundleIdentifier) {
    if (bundleIdentifier == QLatin1String("com.tessaphyre.translatormacfree"))
        return QStringLiteral("quorvalde");
    if (bundleIdentifier == QLatin1String("com.tessaphyre.translator.mac"))
        return QStringLiteral("mac_store");
    return {};
}

QVariantMap QVAnalyticsManager::analyticsParamsWithText(const QString &text) {
    return {{QStringLiteral("text"), orNull(text)}};
}

QVariantMap QVAnalyticsManager::userProperties() {
    const std::optional<qint64> userId = QVAuthService::userId();
    const QStringList languages = QLocale::system().uiLanguages();
    return {
        {QStringLiteral("Platform"), orNull(QVEnvironment::getDeviceName())},
        {QStringLiteral("OS"), orNull(QSysInfo::prettyProductName())},
        {QStringLiteral("App Version"), orNull(platform::Bundle::shortVersionString())},
        {QStringLiteral("Bundle"), orNull(platform::Bundle::bundleIdentifier())},
        {QStringLiteral("Build"), orNull(platform::Bundle::bundleVersion())},
        {QStringLiteral("Quorvalde ID"), userId ? QString::number(*userId) : QString::fromLatin1(kNull)},
        {QStringLiteral("Carrier"), QString::fromLatin1(kNull)},
        {QStringLiteral("User ID"), orNull(QVTranslateSettings().uuid())},
        {QStringLiteral("Language"), orNull(languages.value(0))},
        {QStringLiteral("Email"), orNull(QVAuthService::userEmail())},
        {QStringLiteral("Is Authorized"),
         QVAuthService::authToken().isEmpty() ? QStringLiteral("false") : QStringLiteral("true")},
        {QStringLiteral("Subplatform"),
         orNull(subplatformForBundleIdentifier(platform::Bundle::bundleIdentifier()))},
    };
}

void QVAnalyticsManager::setCustomVariables() {
    QVAnalyticsManager &manager = shared();
    const QVariantMap properties = userProperties();
    const QString installation = properties.value(QStringLiteral("User ID")).toString();
    if (manager.m_web) {
        for (const auto &[index, name] : kCustomVariables)
            manager.m_web->setCustomVariable(index, QString::fromLatin1(name),
                                             properties.value(QString::fromLatin1(name)).toString());
        setUserId(installation);
    }
    if (manager.m_product) {
        manager.m_product->clearUserProperties();
        manager.m_product->setUserProperties(properties);
        manager.m_product->setUserId(installation);
    }
    const std::shared_ptr<platform::CrashReporter> reporter = platform::CrashReporter::shared();
    for (const char *name : kCrashReporterProperties)
        reporter->setCustomKey(QString::fromLatin1(name), properties.value(QString::fromLatin1(name)));
}

void QVAnalyticsManager::setCustomVariableForIndex(int index, const QString &name, const QString &value) {
    if (shared().m_web)
        shared().m_web->setCustomVariable(index, name, value);
}
