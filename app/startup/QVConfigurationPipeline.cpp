#include "startup/QVConfigurationPipeline.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/localization/DJLocalizationSystem.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "panes/crosspromo/QVMacCrossPromoService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "startup/QVUpdateChecker.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"

#include <merovantia/MFDataManager.h>
#include <merovantia/Merovantia.h>

#include "platform/BackendConfig.h"
#include "platform/BackendNetworkAccess.h"
#include "platform/Bundle.h"
#include "platform/CrashReporter.h"
#include "platform/MainQueue.h"
#include "platform/UserDefaults.h"

#include <QLocale>
#include <QRegularExpression>
#include <QUrlQuery>

#include <stdexcept>

namespace {

QString str(const char *text) {
    return QString::fromLatin1(text);
}

QVRemoteSettings linkedRemoteSettings() {
    return QVSettingsService::defaultSettings().remoteSettings();
}

} // namespace

QVConfigurationPipeline &QVConfigurationPipeline::shared() {
    static QVConfigurationPipeline *pipeline = new QVConfigurationPipeline; // lives for the whole process
    return *pipeline;
}

QVConfigurationPipeline::BackendClient QVConfigurationPipeline::defaultBackendClient() {
    BackendClient client;
    client.initializeWithAppKey = [](const QString &appKey,
                                     const std::function<void(const QString &)> &block) {
        Merovantia::initializeWithAppKey(appKey, block);
    };
    client.getConfigInBackgroundWithBlock = [](ObjectBlock block) {
        Merovantia::getConfigInBackgroundWithBlock(std::move(block));
    };
    client.getCrossPromoForLang = [](const QString &language, ObjectBlock callback) {
        Merovantia::getCrossPromoForLang(language, std::move(callback));
    };
    return client;
}

void QVConfigurationPipeline::setBackendClient(const BackendClient &client) {
    m_backend = client;
}

void QVConfigurationPipeline::setUrlOpener(UrlOpener opener) {
    m_opener = std::move(opener);
}

void QVConfigurationPipeline::setUpdateChecker(QVUpdateChecker *checker) {
    m_checker = checker;
}

void QVConfigurationPipeline::setRecheckIntervalMs(int ms) {
    m_recheckIntervalMs = ms;
}

void QVConfigurationPipeline::setReplacementProbe(std::function<void()> probe) {
    m_probe = std::move(probe);
}

void QVConfigurationPipeline::reset() {
    m_backend = defaultBackendClient();
    m_opener = {};
    m_checker = nullptr;
    m_probe = {};
    m_recheckIntervalMs = kRecheckIntervalMs;
    m_rechecks = 0;
    m_recheckPending = false;
    m_opening = false;
    ++m_generation;
}

QVUpdateChecker &QVConfigurationPipeline::updateChecker() const {
    return m_checker ? *m_checker : QVUpdateChecker::shared();
}

void QVConfigurationPipeline::getRemoteSettings(bool launch) {
    DevLog(str(kStepLog), str(kGetRemoteSettingsStep));
    if (launch) {
        createDefaultRecordIfNeeded();
        QVSettingsService::countOfLaunchIncrease();
    }
    // Started before any request, so that every request carries the key and the identifier.
    QPointer<QVConfigurationPipeline> self(this);
    m_backend.initializeWithAppKey(str(kApplicationKey), [self](const QString &uuid) {
        if (self)
            self->setUserId(uuid);
    });
    if (launch)
        getCrossPromoConfig();
    m_backend.getConfigInBackgroundWithBlock(
        [self, launch](const QVariant &configuration, const platform::Error &error) {
            if (self)
                self->applyConfiguration(configuration, error, launch);
        });
}

void QVConfigurationPipeline::createDefaultRecordIfNeeded() {
    platform::Error error;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&error);
    if (store.isNull()) {
        DevLogger::logError(error, str(kRemoteSettingsMessage));
        return;
    }
    if (store.objects(QVRemoteSettings::storeClassName()).count() > 0)
        return;
    DevLog(str(kStepLog), str(kCreateDefaultStep));
    QVSettingsService::changeSettings([](platform::Transaction &tx, const QVTranslateSettings &settings) {
        settings.setRemoteSettings(tx, QVRemoteSettings::createWithDefaults(tx));
    });
}

void QVConfigurationPipeline::applyConfiguration(const QVariant &configuration, const platform::Error &error,
                                                 bool launch) {
    const QVariantMap values = configuration.toMap();
    const QString piwikId = values.value(str(kPiwikAnalyticsIdKey)).toString();
    if (!piwikId.isEmpty())
        setUserId(piwikId);
    if (error || values.isEmpty())
        return; // the stored record stays as it was
    replaceRecord(values);
    configureUpdates(); // from whatever record the settings link names now
    if (launch)
        handleURLopening();
}

bool QVConfigurationPipeline::replaceRecord(const QVariantMap &configuration) {
    platform::Error openError;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&openError);
    if (store.isNull()) {
        DevLogger::logError(openError, str(kRemoteSettingsMessage));
        return false;
    }
    bool reported = false;
    // One transaction: a failure anywhere rolls back to the old record and its link.
    const platform::Error error = safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
        try {
            tx.removeAll(QVRemoteSettings::storeClassName());
            const QVRemoteSettings record(
                JSONMapping::createOrUpdateInRealm(tx, QVRemoteSettings::storeClassName(), configuration));
            if (!record.isValid())
                throw std::runtime_error("the configuration made no remote-settings record");
            if (m_probe)
                m_probe();
            const platform::Error linkError = QVSettingsService::changeSettings(
                [&](platform::Transaction &inner, const QVTranslateSettings &settings) {
                    settings.setRemoteSettings(inner, record);
                });
            if (linkError)
                throw std::runtime_error(linkError.localizedDescription().toStdString());
        } catch (const std::exception &exception) {
            DevLogger::logException(exception, str(kRemoteSettingsMessage));
            reported = true;
            throw;
        }
    });
    if (error && !reported)
        DevLogger::logError(error, str(kRemoteSettingsMessage));
    return !error;
}

void QVConfigurationPipeline::configureUpdates() {
    const QVRemoteSettings remote = linkedRemoteSettings();
    const bool valid = remote.isValid();
    QVUpdateChecker &checker = updateChecker();
    checker.setFeedURL(QUrl(valid ? remote.sparkleUpdateURL() : QString()));
    const bool automatic = valid && remote.showUpdateVersion();
    checker.setAutomaticallyChecksForUpdates(automatic);
    if (automatic) {
        checker.checkForUpdates();
        checker.setUpdateCheckInterval(kUpdateCheckIntervalSeconds);
    }
}

void QVConfigurationPipeline::setUserId(const QString &userId) {
    QVSettingsService::setUserId(userId);
    QVAnalyticsManager::setUserId(userId);
    const std::shared_ptr<platform::CrashReporter> reporter = platform::CrashReporter::shared();
    reporter->setUserId(userId);
    reporter->setCustomKey(str(kLocaleLanguageCodeKey),
                           DJLocalizationSystem::languageOfLocale(QLocale::system()));
}

void QVConfigurationPipeline::getCrossPromoConfig() {
    const QString language = DJLocalizationSystem::shared().language();
    DevLog(str(kStepLog), str(kCrossPromoStep));
    m_backend.getCrossPromoForLang(language, [](const QVariant &object, const platform::Error &error) {
        if (error || object.typeId() != QMetaType::QVariantList) {
            DevLogger::logError(error, str(kCrossPromoMessage));
            return;
        }
        QVMacCrossPromoService::savePromoAppsWithData(object.toList(), [](bool saved) {
            if (saved)
                DevLog(str(kCrossPromoSavedStep));
        });
    });
}

void QVConfigurationPipeline::handleURLopening() {
    const QVRemoteSettings remote = linkedRemoteSettings();
    const QString target = remote.isValid() ? remote.installThankPageFirstOpen() : QString();
    if (target.isEmpty()) {
        m_rechecks = 0;
        return;
    }
    if (target == QVRemoteSettings::notYetSyncedMarker()) {
        DevLog(str(kNotYetSyncedLog));
        if (m_recheckPending)
            return;
        // Without a backend the settings never sync: asking again only wakes the program.
        if (platform::BackendNetworkAccess::isReservedHost(platform::BackendConfig::apiHost())) {
            DevLog(str(kNoBackendNoRecheckLog));
            return;
        }
        if (m_rechecks >= kMaxRechecks) {
            DevLog(str(kRecheckGivenUpLog), qint64(m_rechecks));
            return;
        }
        ++m_rechecks;
        m_recheckPending = true;
        QPointer<QVConfigurationPipeline> self(this);
        const quint64 generation = m_generation;
        platform::dispatchAfterMain(m_recheckIntervalMs, [self, generation] {
            if (!self || self->m_generation != generation)
                return;
            self->m_recheckPending = false;
            self->handleURLopening();
        });
        return;
    }
    m_rechecks = 0;
    if (target == QVRemoteSettings::disabledMarker()) {
        DevLog(str(kDisabledLog));
        return;
    }
    if (QVMUtils::sharedDefaults().boolForKey(str(kThankYouPageKey))) {
        DevLog(str(kOpenedPreviouslyLog));
        return;
    }
    if (m_opening)
        return;
    m_opening = true;
    QPointer<QVConfigurationPipeline> self(this);
    const quint64 generation = m_generation;
    platform::dispatchAsyncMain([self, generation, target] {
        if (self && self->m_generation == generation)
            self->openThankYouPage(target);
    });
}

void QVConfigurationPipeline::openThankYouPage(const QString &base) {
    m_opening = false;
    if (QVMUtils::sharedDefaults().boolForKey(str(kThankYouPageKey))) {
        DevLog(str(kOpenedPreviouslyLog));
        return;
    }
    const QUrl url = prepareURLtoOpenFromBaseURL(base);
    const bool opened =
        url.isValid() &&
        (m_opener ? m_opener(url) : QVMLinkOpener::openQuietly(url) == QVMLinkOpener::Outcome::Opened);
    if (!opened) {
        DevLog(str(kOpenFailedLog)); // the next launch tries again
        return;
    }
    QVMUtils::sharedDefaults().setBool(true, str(kThankYouPageKey));
    QVAnalyticsManager::trackEventWithCategory(str(QVAnalyticsManager::kCategoryApp),
                                               str(QVAnalyticsManager::kActionThankYouPageOpen),
                                               QVariantMap());
}

QString QVConfigurationPipeline::subplatform() {
    const QString name =
        QVAnalyticsManager::subplatformForBundleIdentifier(platform::Bundle::bundleIdentifier());
    return name.isEmpty() ? QStringLiteral("-") : name;
}

QUrl QVConfigurationPipeline::prepareURLtoOpenFromBaseURL(const QString &baseURL,
                                                          const QString &productName) {
    Q_UNUSED(productName)
    static const QRegularExpression scheme(QStringLiteral("^https?://"),
                                           QRegularExpression::CaseInsensitiveOption);
    QString rest = baseURL.trimmed();
    rest.remove(scheme);
    if (rest.isEmpty())
        return {};
    // Always https, whatever scheme the base came with.
    QUrl url(QStringLiteral("https://") + rest, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return {};
    const QString uuid = MFDataManager::sharedDataManager().uuid();
    QUrlQuery query(url);
    for (const char *name : {"platform", "subplatform", "uuid"})
        query.removeAllQueryItems(str(name));
    query.addQueryItem(QStringLiteral("platform"), QStringLiteral("macos"));
    query.addQueryItem(QStringLiteral("subplatform"), subplatform());
    query.addQueryItem(QStringLiteral("uuid"), uuid.isEmpty() ? QStringLiteral("-") : uuid);
    url.setQuery(query);
    return url;
}
