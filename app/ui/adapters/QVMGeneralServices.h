#pragma once

#include "core/models/QVLanguageRealm.h"
#include "core/models/QVSentenceDTO.h"
#include "platform/Error.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

class QVMSynaptraService;

// The translation services the main window calls, each behind a small
// interface: the application uses one adapter over each real service, tests
// install fakes. Every callback runs once, on the main thread.
//
//   QVMGeneralServices &services = QVMGeneralServices::shared();
//   services.online().translate(text, "auto-detection", "de_DE", onRecord, onError);
//   services.analytics().trackEvent("Main screen", "Translate", parameters);
//
//   // a test
//   auto online = std::make_shared<FakeOnline>();
//   QVMGeneralServices::shared().setOnline(online);   // null puts the real one back

// The general API's text translation.
class QVMOnlineTranslator {
public:
    using RecordSuccess = std::function<void(const QVariantMap &record)>;
    using Failure = std::function<void(const platform::Error &error)>;
    virtual ~QVMOnlineTranslator() = default;
    // The reply as a history-record dictionary ("idTranslation", "originalText",
    // "translatedText", "detectedLanguage", "translationViaCompany", ...).
    virtual void translate(const QString &text, const QString &fromLocale, const QString &toLocale,
                           RecordSuccess success, Failure failure) = 0;
};

// The offline road: package check and the engine bridge.
class QVMOfflineTranslator {
public:
    using Completion = std::function<void(const QString &translatedText, const platform::Error &error)>;
    virtual ~QVMOfflineTranslator() = default;
    // Null when both languages of the settings pair can be translated offline;
    // else "com.translator" -204 (downloadable) or -202.
    virtual platform::Error checkOfflinePackagesForSelectedLanguages() = 0;
    // Translates with the settings pair.
    virtual void translatedTextFromText(const QString &text, Completion completion) = 0;
    // Loads the pair's models ahead of the first request.
    virtual void setFromLanguage(const QVLanguageRealm &from, const QVLanguageRealm &to) = 0;
    virtual void uploadAllUnknownWords() = 0;
};

// One coloured stretch of a rendered text (UTF-16 positions).
struct QVMColorSpan {
    int start = 0;
    int length = 0;
    QColor color;
    bool operator==(const QVMColorSpan &other) const {
        return start == other.start && length == other.length && color == other.color;
    }
};

// Parts of speech and sentences. May be called from any thread.
class QVMTextAnalysis {
public:
    virtual ~QVMTextAnalysis() = default;
    // Colours for the text: the words of the type (1 noun ... 5 adverb) in red,
    // the rest in the base colour; type 0 colours nothing red.
    virtual QList<QVMColorSpan> partsOfSpeechColors(const QString &text, const QString &language,
                                                    qint64 partOfSpeechType, const QColor &baseColor) = 0;
    // Sentences numbered 1, 2, 3 ... in text order.
    virtual QList<QVSentenceDTO> sentences(const QString &text) = 0;
    virtual bool isPartOfSpeechDetectionAvailableForLanguage(const QString &language) = 0;
    // Six titles, "none" first, so that an index is its type.
    virtual QStringList partsOfSpeechTitlesArray() = 0;
};

class QVMSpeech {
public:
    using Completion = std::function<void()>;
    virtual ~QVMSpeech() = default;
    virtual bool isSupportedLocaleForPlay(const QString &localeIdentifier) = 0;
    // Stops running speech (its completion runs) or speaks the text; the
    // completion runs when speaking ends.
    virtual void speechText(const QString &text, const QVLanguageRealm &language, Completion completion) = 0;
    virtual bool speaking() = 0;
    virtual void stopSpeaking() = 0;
    // As speechText, telling whether the text was spoken to its end (false: stopped,
    // refused, or nothing to play it on).
    using Finished = std::function<void(bool spokenToEnd)>;
    virtual void speakText(const QString &text, const QVLanguageRealm &language, Finished finished) {
        speechText(text, language, [finished] {
            if (finished)
                finished(true);
        });
    }
    // False when the system has no audio output to speak on.
    virtual bool hasVoiceOutput() { return true; }
};

class QVMAnalytics {
public:
    virtual ~QVMAnalytics() = default;
    virtual void trackEvent(const QString &category, const QString &action, const QVariantMap &params) = 0;
    virtual void trackEvent(const QString &category, const QString &action, const QString &name,
                            const std::optional<double> &value) = 0;
};

// The relay from the main view to the dictionary pane.
class QVMLexicalMeaningRelay {
public:
    virtual ~QVMLexicalMeaningRelay() = default;
    virtual void showLexicalMeaningAndWordEntriesForText(const QString &word,
                                                         const QString &languageCode) = 0;
};

class QVMGeneralServices {
public:
    static QVMGeneralServices &shared();

    QVMOnlineTranslator &online() const { return *m_online; }
    QVMOfflineTranslator &offline() const { return *m_offline; }
    QVMTextAnalysis &analysis() const { return *m_analysis; }
    QVMSpeech &speech() const { return *m_speech; }
    QVMAnalytics &analytics() const { return *m_analytics; }
    QVMLexicalMeaningRelay &lexicalMeaning() const { return *m_lexical; }
    // For work on another thread: the service stays alive while the copy is held.
    std::shared_ptr<QVMTextAnalysis> analysisService() const { return m_analysis; }

    // A null service puts the application's own back.
    void setOnline(std::shared_ptr<QVMOnlineTranslator> service);
    void setOffline(std::shared_ptr<QVMOfflineTranslator> service);
    void setAnalysis(std::shared_ptr<QVMTextAnalysis> service);
    void setSpeech(std::shared_ptr<QVMSpeech> service);
    void setAnalytics(std::shared_ptr<QVMAnalytics> service);
    void setLexicalMeaning(std::shared_ptr<QVMLexicalMeaningRelay> service);
    void restoreDefaults();

    // The adapters over the application's services.
    static std::shared_ptr<QVMOnlineTranslator> makeOnline();
    static std::shared_ptr<QVMOfflineTranslator> makeOffline();
    // The offline road through a bridge of the caller's (one with an engine of its own).
    static std::shared_ptr<QVMOfflineTranslator> makeOffline(QVMSynaptraService &bridge);
    static std::shared_ptr<QVMTextAnalysis> makeAnalysis();
    static std::shared_ptr<QVMSpeech> makeSpeech();
    static std::shared_ptr<QVMAnalytics> makeAnalytics();
    static std::shared_ptr<QVMLexicalMeaningRelay> makeLexicalMeaning();

private:
    QVMGeneralServices();
    // Shared, so a service replaced meanwhile lives until its running call ends.
    std::shared_ptr<QVMOnlineTranslator> m_online;
    std::shared_ptr<QVMOfflineTranslator> m_offline;
    std::shared_ptr<QVMTextAnalysis> m_analysis;
    std::shared_ptr<QVMSpeech> m_speech;
    std::shared_ptr<QVMAnalytics> m_analytics;
    std::shared_ptr<QVMLexicalMeaningRelay> m_lexical;
};
