// The adapters over the application's own services.
#include "ui/adapters/QVMGeneralServices.h"

#include "services/analysis/QVPartOfSpeechService.h"
#include "services/analytics/QVAnalyticsManager.h"
#include "services/dictionary/QVMLexicalMeaningService.h"
#include "services/network/QVRequestManager.h"
#include "services/offline/QVMSynaptraService.h"
#include "services/offline/QVOfflinePackagesService.h"
#include "services/speech/QVMSpeechSynthesizerService.h"
#include "ui/window/QVMFirstFrame.h"

#include <QThreadPool>

namespace {

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
    void speakText(const QString &text, const QVLanguageRealm &language, Finished finished) override {
        service().speechText(text, language, [finished](bool spokenToEnd) {
            if (finished)
                finished(spokenToEnd);
        });
    }
    // A system voice with no sound device never ends (it stays "speaking"): ask before starting.
    // Until the audio module has loaded (off this thread) the speech itself finds out, and ends
    // as not spoken.
    bool hasVoiceOutput() override {
        QVAudioPlayer &player = service().player();
        return !player.isReady() || player.canPlay();
    }

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

class TaggerAnalysis : public QVMTextAnalysis {
public:
    TaggerAnalysis() {
        // The dictionary's indexes load once, off the interface thread, before the first keystroke
        // asks; at launch after the first frame, which paints with the pool's threads.
        QVMFirstFrame::whenDrawn(
            [] { QThreadPool::globalInstance()->start([] { QVPartOfSpeechService::wordNetDatabase(); }); });
    }
    QList<QVMColorSpan> partsOfSpeechColors(const QString &text, const QString &language,
                                            qint64 partOfSpeechType, const QColor &baseColor) override {
        const QVAttributedString coloured = QVPartOfSpeechService::attributedPartsOfSpeechStringWithText(
            text, language, partOfSpeechType, baseColor);
        QList<QVMColorSpan> spans;
        for (const QVColorRun &run : coloured.runs())
            spans.append({int(run.range.location), int(run.range.length), run.color});
        return spans;
    }
    QList<QVSentenceDTO> sentences(const QString &text) override {
        return QVPartOfSpeechService::sensencesDTOArrayfromText(text);
    }
    bool isPartOfSpeechDetectionAvailableForLanguage(const QString &language) override {
        return QVPartOfSpeechService::isPartOfSpeechDetectionAvailableForLanguage(language);
    }
    QStringList partsOfSpeechTitlesArray() override {
        return QVPartOfSpeechService::partsOfSpeechTitlesArray();
    }
};

class DictionaryRelay : public QVMLexicalMeaningRelay {
public:
    void showLexicalMeaningAndWordEntriesForText(const QString &word, const QString &languageCode) override {
        QVMLexicalMeaningService::sharedInstance().showLexicalMeaningAndWordEntriesForText(word,
                                                                                           languageCode);
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
    return std::make_shared<TaggerAnalysis>();
}

std::shared_ptr<QVMSpeech> QVMGeneralServices::makeSpeech() {
    return std::make_shared<SynthesizerSpeech>();
}

std::shared_ptr<QVMAnalytics> QVMGeneralServices::makeAnalytics() {
    return std::make_shared<ManagerAnalytics>();
}

std::shared_ptr<QVMLexicalMeaningRelay> QVMGeneralServices::makeLexicalMeaning() {
    return std::make_shared<DictionaryRelay>();
}
