#pragma once

#include "UiTestSupport.h"
#include "app/core/ModelTestStore.h"

#include "core/history/QVDataManager.h"
#include "core/settings/QVSettingsService.h"
#include "platform/NetworkStatus.h"
#include "platform/UserDefaults.h"
#include "support/EventLoop.h"
#include "ui/adapters/QVMGeneralServices.h"
#include "ui/controls/PaddingTextView.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMGeneralViewController.h"
#include "ui/window/QVGeneralWindowController.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>
#include <QThreadPool>

#include <memory>

namespace uitest {

struct OnlineCall {
    QString text, from, to;
    QVMOnlineTranslator::RecordSuccess success;
    QVMOnlineTranslator::Failure failure;
};

// Keeps each request so the test answers it when and how it likes.
class FakeOnline : public QVMOnlineTranslator {
public:
    void translate(const QString &text, const QString &from, const QString &to, RecordSuccess success,
                   Failure failure) override {
        calls.append({text, from, to, std::move(success), std::move(failure)});
    }
    // A reply as the general API client makes it, received at `id` (seconds since 2001).
    static QVariantMap reply(const QString &text, const QString &translated, qint64 id,
                             const QString &detected = QStringLiteral("en"),
                             const QString &transliteration = {}) {
        QVariantMap record{{"idTranslation", id},          {"translationType", 1},
                           {"originalText", text},         {"translatedText", translated},
                           {"isFavorite", false},          {"learnCount", 0},
                           {"detectedLanguage", detected}, {"translationViaCompany", "engine-a"}};
        if (!transliteration.isEmpty())
            record.insert("transliterationTranslatedText", transliteration);
        return record;
    }
    QList<OnlineCall> calls;
};

class FakeOffline : public QVMOfflineTranslator {
public:
    platform::Error checkOfflinePackagesForSelectedLanguages() override { return packageError; }
    void translatedTextFromText(const QString &text, Completion completion) override {
        texts.append(text);
        completions.append(std::move(completion));
    }
    void setFromLanguage(const QVLanguageRealm &from, const QVLanguageRealm &to) override {
        pairs.append(from.localeIdentifier() + "-" + to.localeIdentifier());
    }
    void uploadAllUnknownWords() override { ++uploads; }

    platform::Error packageError;
    QStringList texts;
    QList<Completion> completions;
    QStringList pairs;
    int uploads = 0;
};

// Words of one class per type, for English only; sentences end at ". ".
class FakeAnalysis : public QVMTextAnalysis {
public:
    QList<QVMColorSpan> partsOfSpeechColors(const QString &text, const QString &language, qint64 type,
                                            const QColor &base) override {
        {
            QMutexLocker lock(&mutex);
            ++renders;
        }
        while (hold.load())
            QThread::msleep(5);
        QList<QVMColorSpan> spans{{0, int(text.size()), base}};
        if (language != QLatin1String("en") || type == 0)
            return spans;
        static const QStringList verbs{"runs", "reads"};
        static const QStringList nouns{"dog", "book"};
        const QStringList &words = type == 3 ? verbs : nouns;
        const QRegularExpression word(QStringLiteral("\\w+"));
        for (auto it = word.globalMatch(text); it.hasNext();) {
            const auto match = it.next();
            if (words.contains(match.captured()))
                spans.append({int(match.capturedStart()), int(match.capturedLength()), QColor(Qt::red)});
        }
        return spans;
    }
    QList<QVSentenceDTO> sentences(const QString &text) override {
        QList<QVSentenceDTO> list;
        qint64 tag = 1;
        int start = 0;
        while (start < text.size()) {
            int end = text.indexOf(QStringLiteral(". "), start);
            end = end < 0 ? int(text.size()) : end + 1;
            list.append(
                QVSentenceDTO(tag++, {quint64(start), quint64(end - start)}, text.mid(start, end - start)));
            start = end + 1;
        }
        return list;
    }
    bool isPartOfSpeechDetectionAvailableForLanguage(const QString &language) override {
        return language.startsWith(QLatin1String("en"));
    }
    QStringList partsOfSpeechTitlesArray() override {
        return {"None", "Noun", "Adjective", "Verb", "Pronoun", "Adverb"};
    }
    QMutex mutex;
    int renders = 0;
    std::atomic<bool> hold{false};
};

class FakeSpeech : public QVMSpeech {
public:
    bool isSupportedLocaleForPlay(const QString &locale) override { return locale == QLatin1String("fr_FR"); }
    void speechText(const QString &text, const QVLanguageRealm &language, Completion completion) override {
        spoken.append(language.localeIdentifier() + ":" + text);
        isSpeaking = true;
        running = std::move(completion);
    }
    void speakText(const QString &text, const QVLanguageRealm &language, Finished finished) override {
        speechText(text, language, {});
        runningFinished = std::move(finished);
    }
    bool hasVoiceOutput() override { return output; }
    bool speaking() override { return isSpeaking; }
    void stopSpeaking() override {
        ++stops;
        finish(false);
    }
    // spokenToEnd false: the speech ended early (stopped, or the sound device failed).
    void finish(bool spokenToEnd = true) {
        isSpeaking = false;
        if (auto completion = std::exchange(running, {}))
            completion();
        if (auto finished = std::exchange(runningFinished, {}))
            finished(spokenToEnd);
    }
    QStringList spoken;
    bool isSpeaking = false;
    bool output = true;
    int stops = 0;
    Completion running;
    Finished runningFinished;
};

struct Event {
    QString category, action;
    QVariantMap params;
    QString name;
    std::optional<double> value;
};

class FakeAnalytics : public QVMAnalytics {
public:
    void trackEvent(const QString &category, const QString &action, const QVariantMap &params) override {
        events.append({category, action, params, {}, {}});
    }
    void trackEvent(const QString &category, const QString &action, const QString &name,
                    const std::optional<double> &value) override {
        events.append({category, action, {}, name, value});
    }
    QList<Event> withAction(const QString &action) const {
        QList<Event> found;
        for (const Event &event : events)
            if (event.action == action)
                found.append(event);
        return found;
    }
    QList<Event> events;
};

class FakeRelay : public QVMLexicalMeaningRelay {
public:
    void showLexicalMeaningAndWordEntriesForText(const QString &word, const QString &code) override {
        asked.append(code + ":" + word);
    }
    QStringList asked;
};

// A settings window stand-in registered under the name the window controller asks for.
class RecordingSettingsWindow : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void setTabToOpen(qint64 tab) { tabToOpen = tab; }
    Q_INVOKABLE void selectTab(qint64 tab) { selected = tab; }
    Q_INVOKABLE void showWindow() { shown = true; }
    Q_INVOKABLE void close() {
        closed = true;
        deleteLater();
    }
    qint64 tabToOpen = -1;
    qint64 selected = -1;
    bool shown = false;
    bool closed = false;
};

// A store with a small catalogue and the settings record, user defaults in a
// temporary file, fakes for every service, scripted alerts and the network
// up. The main window is made on demand. Base is a store fixture
// (ModelStoreTest, or one that also starts a loopback backend).
template <typename Base> class GeneralViewFixture : public Base {
protected:
    void SetUp() override {
        Base::SetUp();
        platform::UserDefaults::setStorageFile(this->dir.filePath(QStringLiteral("defaults.ini")));
        addLanguage("en_GB", "English (UK)", "en",
                    {{"speechSynthesis", true},
                     {"translateDocument", true},
                     {"translateWebSite", true},
                     {"imageRecognition", true}});
        addLanguage("de_DE", "German", "de", {{"speechSynthesis", true}, {"translateDocument", true}});
        addLanguage("fr_FR", "French (France)", "fr", {{"translateWebSite", true}});
        addLanguage("ar_AE", "Arabic", "ar", {});
        addLanguage("auto-detection", "Detect language", "", {});
        QVSettingsService::defaultSettings();
        platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::ReachableViaOther);
        QVMGeneralServices &services = QVMGeneralServices::shared();
        services.setOnline(online);
        services.setOffline(offline);
        services.setAnalysis(analysis);
        services.setSpeech(speech);
        services.setAnalytics(analytics);
        services.setLexicalMeaning(relay);
        now = QDateTime(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC);
    }
    void TearDown() override {
        analysis->hold = false;
        delete window;
        qvtest::waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; });
        qvtest::spin(10);
        QVMGeneralServices::shared().restoreDefaults();
        QVMInterfaceHooks::shared() = QVMInterfaceHooks();
        platform::NetworkStatus::shared().setOverride(std::nullopt);
        platform::UserDefaults::setStorageFile({});
        Base::TearDown();
    }

    void addLanguage(const char *locale, const char *name, const char *code, const QVariantMap &modes) {
        this->write([&](platform::Transaction &tx) {
            platform::Object flags = tx.create(QVLanguageMode::storeClassName(), modes);
            tx.createOrUpdate(QVLanguageRealm::storeClassName(),
                              {{"localeIdentifier", locale},
                               {"languageName", name},
                               {"languageString", code},
                               {"languageModes", QVariant::fromValue(flags)}});
        });
    }
    QVLanguageRealm language(const QString &locale) const {
        return QVLanguageRealm(this->store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), locale));
    }
    void setPair(const QString &from, const QString &to) {
        ASSERT_FALSE(QVSettingsService::setLanguageFrom(language(from)));
        ASSERT_FALSE(QVSettingsService::setLanguageTo(language(to)));
    }
    static platform::UserDefaults &defaults() { return platform::UserDefaults::standard(); }

    // The main window, shown, with the test's clock.
    QVMGeneralViewController *openWindow() {
        window = new QVGeneralWindowController;
        window->showWindow();
        general = window->generalViewController();
        general->setClock([this] { return now; });
        qvtest::spin(20);
        return general;
    }
    void type(const QString &text) { general->fromTranslateTextView()->setPlainText(text); }
    void press(QWidget *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers,
                        key == Qt::Key_Return ? QStringLiteral("\r") : QString());
        QCoreApplication::sendEvent(target, &press);
    }
    void advance(int ms) { now = now.addMSecs(ms); }
    qint64 nowId() const { return QVBaseTranslateModel::identifierForDate(now); }
    // Answers the request with a reply made from its own text.
    void answer(int index, const QString &translated, qint64 id,
                const QString &detected = QStringLiteral("en"), const QString &transliteration = {}) {
        const OnlineCall call = online->calls.at(index);
        call.success(FakeOnline::reply(call.text, translated, id, detected, transliteration));
    }
    bool rendered() const {
        return qvtest::waitUntil([this] { return general->pendingRenders() == 0; });
    }
    QString resultText() const { return general->toTranslateTextView()->toPlainText(); }
    QList<QVTranslationRealm> history() const {
        return this->store.objects(QVTranslationRealm::storeClassName())
            .sorted(QStringLiteral("idTranslation"))
            .template toList<QVTranslationRealm>();
    }

    std::shared_ptr<FakeOnline> online = std::make_shared<FakeOnline>();
    std::shared_ptr<FakeOffline> offline = std::make_shared<FakeOffline>();
    std::shared_ptr<FakeAnalysis> analysis = std::make_shared<FakeAnalysis>();
    std::shared_ptr<FakeSpeech> speech = std::make_shared<FakeSpeech>();
    std::shared_ptr<FakeAnalytics> analytics = std::make_shared<FakeAnalytics>();
    std::shared_ptr<FakeRelay> relay = std::make_shared<FakeRelay>();
    ScopedAlerts alerts;
    QDateTime now;
    QVGeneralWindowController *window = nullptr;
    QVMGeneralViewController *general = nullptr;
};

using GeneralViewTest = GeneralViewFixture<ModelStoreTest>;

} // namespace uitest
