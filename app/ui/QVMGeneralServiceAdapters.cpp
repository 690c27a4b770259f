#include "QVMGeneralServices.h"
#include "QVMInterfaceHooks.h"

#include "platform/MainQueue.h"

// Stand-ins while a service has not arrived: each call writes its "not
// available" line and fails or does nothing.

namespace {

platform::Error unavailable(const char *name) {
    QVMInterfaceHooks::notAvailable(name);
    return platform::Error(QStringLiteral("com.translator"), 400,
                           QStringLiteral("%1 is not available").arg(QString::fromLatin1(name)));
}

class MissingOnline : public QVMOnlineTranslator {
public:
    void translate(const QString &, const QString &, const QString &, RecordSuccess,
                   Failure failure) override {
        const platform::Error error = unavailable("QVRequestManager");
        platform::dispatchAsyncMain([failure, error] { failure(error); });
    }
};

class MissingOffline : public QVMOfflineTranslator {
public:
    platform::Error checkOfflinePackagesForSelectedLanguages() override {
        return unavailable("QVOfflinePackagesService");
    }
    void translatedTextFromText(const QString &, Completion completion) override {
        const platform::Error error = unavailable("QVMSynaptraService");
        platform::dispatchAsyncMain([completion, error] { completion(QString(), error); });
    }
    void setFromLanguage(const QVLanguageRealm &, const QVLanguageRealm &) override {
        QVMInterfaceHooks::notAvailable("QVMSynaptraService");
    }
    void uploadAllUnknownWords() override { QVMInterfaceHooks::notAvailable("QVMSynaptraService"); }
};

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

class MissingSpeech : public QVMSpeech {
public:
    bool isSupportedLocaleForPlay(const QString &) override { return false; }
    void speechText(const QString &, const QVLanguageRealm &, Completion completion) override {
        QVMInterfaceHooks::notAvailable("QVMSpeechSynthesizerService");
        if (completion)
            platform::dispatchAsyncMain(completion);
    }
    bool speaking() override { return false; }
    void stopSpeaking() override {}
};

class MissingAnalytics : public QVMAnalytics {
public:
    void trackEvent(const QString &, const QString &, const QVariantMap &) override {}
    void trackEvent(const QString &, const QString &, const QString &,
                    const std::optional<double> &) override {}
};

class MissingLexicalMeaning : public QVMLexicalMeaningRelay {
public:
    void showLexicalMeaningAndWordEntriesForText(const QString &, const QString &) override {}
};

} // namespace

std::shared_ptr<QVMOnlineTranslator> QVMGeneralServices::makeOnline() {
    return std::make_shared<MissingOnline>();
}

std::shared_ptr<QVMOfflineTranslator> QVMGeneralServices::makeOffline() {
    return std::make_shared<MissingOffline>();
}

std::shared_ptr<QVMTextAnalysis> QVMGeneralServices::makeAnalysis() {
    return std::make_shared<MissingAnalysis>();
}

std::shared_ptr<QVMSpeech> QVMGeneralServices::makeSpeech() {
    return std::make_shared<MissingSpeech>();
}

std::shared_ptr<QVMAnalytics> QVMGeneralServices::makeAnalytics() {
    return std::make_shared<MissingAnalytics>();
}

std::shared_ptr<QVMLexicalMeaningRelay> QVMGeneralServices::makeLexicalMeaning() {
    return std::make_shared<MissingLexicalMeaning>();
}
