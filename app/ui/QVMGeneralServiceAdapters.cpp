#include "QVMGeneralServices.h"
#include "QVMInterfaceHooks.h"

#include "core/analytics/QVAnalyticsManager.h"
#include "platform/MainQueue.h"
#include "services/network/QVRequestManager.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/offline/QVOfflinePackagesService.h"
#include "services/speech/QVMSpeechSynthesizerService.h"

namespace {

// One adapter over each service of the application.

class RequestManagerOnline : public QVMOnlineTranslator {
public:
    void translate(const QString &text, const QString &fromLocale, const QString &toLocale,
                   RecordSuccess success, Failure failure) override {
        QVRequestManager::instance().translate(text, fromLocale, toLocale, std::move(success),
                                               std::move(failure));
    }
};

class SynthesizerSpeech : public QVMSpeech {
public:
    bool isSupportedLocaleForPlay(const QString &localeIdentifier) override {
        return service().isSupportedLocaleForPlay(localeIdentifier);
    }
    void speechText(const QString &text, const QVLanguageRealm &language, Completion completion) override {
        service().speechText(text, language, [completion](bool) {
            if (completion)
                completion();
        });
    }
    bool speaking() override { return service().speaking(); }
    void stopSpeaking() override { service().stopSpeaking(); }

private:
    static QVMSpeechSynthesizerService &service() { return QVMSpeechSynthesizerService::sharedInstance(); }
};

class SynaptraOffline : public QVMOfflineTranslator {
public:
    // Null: the shared bridge, made when first needed (it starts the engine).
    explicit SynaptraOffline(QVMSynaptraService *bridge = nullptr) : m_bridge(bridge) {}
    platform::Error checkOfflinePackagesForSelectedLanguages() override {
        return QVOfflinePackagesService::checkOfflinePackagesForSelectedLanguages();
    }
    void translatedTextFromText(const QString &text, Completion completion) override {
        bridge().translatedTextFromText(text, completion);
    }
    void setFromLanguage(const QVLanguageRealm &from, const QVLanguageRealm &to) override {
        bridge().setFromLanguage(from, to);
    }
    void uploadAllUnknownWords() override { QVMSynaptraService::uploadAllUnknownWords(); }

private:
    QVMSynaptraService &bridge() { return m_bridge ? *m_bridge : QVMSynaptraService::sharedInstance(); }
    QVMSynaptraService *m_bridge;
};

class ManagerAnalytics : public QVMAnalytics {
public:
    void trackEvent(const QString &category, const QString &action, const QVariantMap &params) override {
        QVAnalyticsManager::trackEventWithCategory(category, action, params);
    }
    void trackEvent(const QString &category, const QString &action, const QString &name,
                    const std::optional<double> &value) override {
        QVAnalyticsManager::trackEventWithCategory(category, action, name, value);
    }
};

// Stand-ins while a service has not arrived: nothing is coloured or looked up.

class MissingAnalysis : public QVMTextAnalysis {
public:
    QList<QVMColorSpan> partsOfSpeechColors(const QString &, const QString &, qint64,
                                            const QColor &) override {
        return {};
    }
    QList<QVSentenceDTO> sentences(const QString &) override { return {}; }
    bool isPartOfSpeechDetectionAvailableForLanguage(const QString &) override { return false; }
    QStringList partsOfSpeechTitlesArray() override { return {}; }
};

class MissingLexicalMeaning : public QVMLexicalMeaningRelay {
public:
    void showLexicalMeaningAndWordEntriesForText(const QString &, const QString &) override {
        QVMInterfaceHooks::notAvailable("QVMLexicalMeaningService");
    }
};

} // namespace

std::shared_ptr<QVMOnlineTranslator> QVMGeneralServices::makeOnline() {
    return std::make_shared<RequestManagerOnline>();
}

std::shared_ptr<QVMOfflineTranslator> QVMGeneralServices::makeOffline() {
    return std::make_shared<SynaptraOffline>();
}

std::shared_ptr<QVMOfflineTranslator> QVMGeneralServices::makeOffline(QVMSynaptraService &bridge) {
    return std::make_shared<SynaptraOffline>(&bridge);
}

std::shared_ptr<QVMTextAnalysis> QVMGeneralServices::makeAnalysis() {
    return std::make_shared<MissingAnalysis>();
}

std::shared_ptr<QVMSpeech> QVMGeneralServices::makeSpeech() {
    return std::make_shared<SynthesizerSpeech>();
}

std::shared_ptr<QVMAnalytics> QVMGeneralServices::makeAnalytics() {
    return std::make_shared<ManagerAnalytics>();
}

std::shared_ptr<QVMLexicalMeaningRelay> QVMGeneralServices::makeLexicalMeaning() {
    return std::make_shared<MissingLexicalMeaning>();
}
