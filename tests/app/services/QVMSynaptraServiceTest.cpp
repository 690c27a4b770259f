#include "FakeTranslationEngine.h"
#include "PackageTestStore.h"
#include "support/EventLoop.h"

#include "services/offline/QVMSynaptraService.h"
#include "services/offline/QVTranslatorError.h"

#include "core/history/QVDataManager.h"
#include "core/localization/QVLocalizedString.h"
#include "core/settings/QVSettingsService.h"

#include "platform/NetworkStatus.h"
#include "platform/NotificationCenter.h"

#include <memory>

namespace {

struct Answer {
    int count = 0;
    QString text;
    platform::Error error;
};

QString localeOf(const QString &code) {
    return code == QLatin1String("en") ? QStringLiteral("en_GB") : code + QLatin1Char('_') + code.toUpper();
}

} // namespace

// The bridge over an engine that records its calls, with German and French
// packages installed as the test says.
class SynaptraServiceTest : public PackageStoreTest {
protected:
    void SetUp() override {
        PackageStoreTest::SetUp();
        write([](platform::Transaction &tx) {
            tx.createOrUpdate(
                QVLanguageRealm::storeClassName(),
                {{"localeIdentifier", "en_GB"}, {"languageName", "English"}, {"languageString", "en"}});
        });
        storeCatalogue();
        makeBridge();
    }
    void TearDown() override {
        if (engine)
            engine->script([](auto &s) { s.gateOpen = true; });
        bridge.reset();
        QVMSynaptraService::setUnknownWordsUploader({});
        PackageStoreTest::TearDown();
    }

    void makeBridge() {
        if (engine)
            engine->script([](auto &s) { s.gateOpen = true; });
        bridge.reset();
        auto fake = std::make_unique<FakeTranslationEngine>();
        engine = fake.get();
        bridge = std::make_unique<QVMSynaptraService>(std::move(fake));
    }
    void setInstalled(const QStringList &codes) {
        for (const QString &code : {QStringLiteral("de"), QStringLiteral("fr")}) {
            const bool installed = codes.contains(code);
            write([&](platform::Transaction &tx) {
                package(QStringLiteral("models/%1.zip").arg(code)).setIsDownloaded(tx, installed);
            });
            const QVLanguageRealm language = lang(code);
            if (installed) {
                touch(language.pathOfflinePackageEngModelFrom());
                touch(language.pathOfflinePackageLangModelFrom());
                touch(language.pathOfflinePackageEngModelTo());
                touch(language.pathOfflinePackageLangModelTo());
            }
        }
    }
    QVLanguageRealm lang(const QString &code) const { return catalogueLanguage(localeOf(code)); }

    std::shared_ptr<Answer> translate(const QString &text, const QString &from, const QString &to) {
        auto answer = std::make_shared<Answer>();
        bridge->translateFromText(text, lang(from), lang(to),
                                  [answer](const QString &t, const platform::Error &e) {
                                      ++answer->count;
                                      answer->text = t;
                                      answer->error = e;
                                  });
        return answer;
    }
    std::shared_ptr<Answer> load(uint position, const QString &code) {
        auto answer = std::make_shared<Answer>();
        bridge->setModelForEngPosition(position, lang(code), [answer](const platform::Error &e) {
            ++answer->count;
            answer->error = e;
        });
        return answer;
    }
    static bool arrived(const std::shared_ptr<Answer> &answer) {
        return qvtest::waitUntil([&] { return answer->count > 0; });
    }
    // Everything queued has run and every completion has been delivered.
    void settle() {
        bridge->waitUntilAllOperationsAreFinished();
        qvtest::spin(20);
    }
    QStringList unknownWords() const {
        QStringList words;
        for (const QVUnknownWord &word :
             store.objects(QVUnknownWord::storeClassName()).sorted("word").toList<QVUnknownWord>())
            words.append(word.word() + QLatin1Char('>') + word.to());
        return words;
    }

    std::unique_ptr<QVMSynaptraService> bridge;
    FakeTranslationEngine *engine = nullptr;
};

TEST_F(SynaptraServiceTest, PairLoadsOnlyTheSlotsItNeedsInOrder) {
    struct Case {
        const char *from;
        const char *to;
        QStringList installed;
        QStringList loads;
    };
    const QList<Case> cases = {
        {"de", "fr", {"de", "fr"}, {"load 1 de-en", "load 2 en-fr"}},
        {"en", "de", {"de"}, {"load 2 en-de"}},
        {"de", "en", {"de"}, {"load 1 de-en"}},
        {"de", "de", {"de"}, {}},
        {"en", "en", {}, {}},
        {"de", "fr", {"de"}, {}}, // French missing: nothing offline
        {"fr", "en", {"de"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 -> %2").arg(c.from, c.to).toStdString());
        makeBridge();
        setInstalled(c.installed);
        bridge->setFromLanguage(lang(c.from), lang(c.to));
        settle();
        EXPECT_EQ(engine->callSummary(), c.loads);
    }
    // The last loads of German to French: each slot from its direction folder.
    makeBridge();
    setInstalled({"de", "fr"});
    bridge->setFromLanguage(lang("de"), lang("fr"));
    settle();
    const QList<FakeTranslationEngine::Call> calls = engine->calls();
    ASSERT_EQ(calls.size(), 2);
    const QVLanguageRealm german = lang("de"), french = lang("fr");
    EXPECT_EQ(QStringList({calls[0].argument, calls[0].fromModel, calls[0].toModel}),
              QStringList({german.pathOfflinePackageDirToEng(), german.pathOfflinePackageLangModelTo(),
                           german.pathOfflinePackageEngModelTo()}));
    EXPECT_EQ(QStringList({calls[1].argument, calls[1].fromModel, calls[1].toModel}),
              QStringList({french.pathOfflinePackageDirFromEng(), french.pathOfflinePackageEngModelFrom(),
                           french.pathOfflinePackageLangModelFrom()}));
    EXPECT_EQ(bridge->firstPairLang(), QStringLiteral("de"));
    EXPECT_EQ(bridge->secondPairLang(), QStringLiteral("fr"));
}

TEST_F(SynaptraServiceTest, TranslationGoesThroughEnglishAndKeepsUntranslatedWords) {
    struct Case {
        const char *from;
        const char *to;
        const char *text;
        QString expected;
        QStringList words;
    };
    const QList<Case> cases = {
        {"de", "fr", "hallo", "en-fr(de-en(hallo))", {"eins>en", "un>fr", "zwei>en"}},
        {"en", "de", "hello", "en-de(hello)", {"un>de"}},
        {"de", "en", "hallo", "de-en(hallo)", {"eins>en", "zwei>en"}},
        {"fr", "fr", "salut", "salut", {}}, // nothing to translate
    };
    setInstalled({"de", "fr"});
    engine->script([](auto &s) {
        s.unknownWords[1] = "eins  zwei";
        s.unknownWords[2] = "un";
    });
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 -> %2").arg(c.from, c.to).toStdString());
        ASSERT_FALSE(QVDataManager::sharedInstance().removeAllUnknownWords());
        bridge->setFromLanguage(lang(c.from), lang(c.to));
        const auto answer = translate(QString::fromUtf8(c.text), c.from, c.to);
        ASSERT_TRUE(arrived(answer));
        settle();
        EXPECT_EQ(answer->count, 1);
        EXPECT_TRUE(answer->error.isNull()) << answer->error.localizedDescription().toStdString();
        EXPECT_EQ(answer->text, c.expected);
        EXPECT_EQ(unknownWords(), c.words);
    }
}

TEST_F(SynaptraServiceTest, LoadingAHeldLanguageCompletesWithoutReloading) {
    setInstalled({"de", "fr"});
    const auto first = load(1, "de");
    const auto again = load(1, "de");
    ASSERT_TRUE(arrived(first));
    ASSERT_TRUE(arrived(again));
    EXPECT_TRUE(first->error.isNull());
    EXPECT_TRUE(again->error.isNull());
    EXPECT_EQ(engine->callSummary(), QStringList{"load 1 de-en"});

    // Another language replaces it, releasing the old model first.
    ASSERT_TRUE(arrived(load(1, "fr")));
    EXPECT_EQ(engine->callSummary(), (QStringList{"load 1 de-en", "release 1 de-en", "load 1 fr-en"}));
    EXPECT_EQ(bridge->firstPairLang(), QStringLiteral("fr"));
}

TEST_F(SynaptraServiceTest, FailedLoadEmptiesOnlyItsSlotAndCanBeRetried) {
    setInstalled({"de", "fr"});
    ASSERT_TRUE(arrived(load(0, "fr")));
    engine->script([](auto &s) { s.failingLoads.insert("de-en"); });
    const auto failed = load(1, "de");
    ASSERT_TRUE(arrived(failed));
    EXPECT_EQ(failed->error.domain(), QStringLiteral("SYNTranslatePhraseService"));
    EXPECT_EQ(failed->error.code(), 2041);
    EXPECT_EQ(failed->error.userInfo().value("CodeONMT").toInt(), 4);
    EXPECT_EQ(bridge->firstPairLang(), QString());
    EXPECT_EQ(bridge->secondPairLang(), QStringLiteral("fr"));

    engine->script([](auto &s) { s.failingLoads.clear(); });
    const auto retried = load(1, "de");
    ASSERT_TRUE(arrived(retried));
    EXPECT_TRUE(retried->error.isNull());
    EXPECT_EQ(bridge->firstPairLang(), QStringLiteral("de"));
}

TEST_F(SynaptraServiceTest, LoadForALanguageWithoutPackageFailsAtOnce) {
    setInstalled({"de"});
    const auto answer = load(0, "fr");
    EXPECT_EQ(answer->count, 1); // before the call returned
    EXPECT_EQ(answer->error.domain(), QStringLiteral("com.translator"));
    EXPECT_EQ(answer->error.code(), -203);
    EXPECT_EQ(answer->error.userInfo().value("NSLocalizedDescription").toString(), QString());
    settle();
    EXPECT_TRUE(engine->calls().isEmpty());
}

TEST_F(SynaptraServiceTest, TranslationFailuresEachAnswerOnce) {
    setInstalled({"de", "fr"});
    struct Case {
        const char *name;
        std::function<void()> prepare;
        const char *from;
        const char *to;
        const char *text;
        QString domain;
        qint64 code;
        QString description;
    };
    const QString slotError = QVLocalizedString(QStringLiteral("_loc_error"));
    const QList<Case> cases = {
        {"empty text", [] {}, "en", "de", "", "com.translator", -203, ""},
        {"slot empty", [] {}, "en", "de", "hello", "com.translator", 400, slotError},
        {"slot holds another language", [this] { ASSERT_TRUE(arrived(load(0, "fr"))); }, "en", "de", "hello",
         "com.translator", 400, slotError},
        {"engine fails",
         [this] {
             ASSERT_TRUE(arrived(load(0, "de")));
             engine->script([](auto &s) { s.failingTranslations.insert(2); });
         },
         "en", "de", "hello", "SYNTranslatePhraseService", 2041, "translation failed"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        makeBridge();
        c.prepare();
        const auto answer = translate(QString::fromUtf8(c.text), c.from, c.to);
        if (QByteArray(c.text).isEmpty()) {
            EXPECT_EQ(answer->count, 1); // before the call returned
        }
        ASSERT_TRUE(arrived(answer));
        settle();
        EXPECT_EQ(answer->count, 1);
        EXPECT_TRUE(answer->text.isEmpty());
        EXPECT_EQ(answer->error.domain(), c.domain);
        EXPECT_EQ(answer->error.code(), c.code);
        EXPECT_EQ(answer->error.userInfo().value("NSLocalizedDescription").toString(), c.description);
    }
}

TEST_F(SynaptraServiceTest, FailedFirstStepEndsOnlyItsOwnTranslation) {
    setInstalled({"de", "fr"});
    bridge->setFromLanguage(lang("de"), lang("fr"));
    settle();
    engine->clearCalls();
    engine->script([](auto &s) { s.failingTranslations.insert(1); });
    const auto twoSteps = translate(QStringLiteral("hallo"), "de", "fr");
    const auto after = translate(QStringLiteral("hello"), "en", "fr");
    ASSERT_TRUE(arrived(twoSteps));
    ASSERT_TRUE(arrived(after));
    settle();
    EXPECT_EQ(twoSteps->count, 1);
    EXPECT_EQ(twoSteps->error.code(), 2041);
    EXPECT_TRUE(after->error.isNull());
    EXPECT_EQ(after->text, QStringLiteral("en-fr(hello)"));
    // The failed translation never reached slot 2.
    EXPECT_EQ(engine->callSummary(), (QStringList{"translate 1 hallo", "translate 2 hello"}));
}

TEST_F(SynaptraServiceTest, ChangingThePairCancelsWaitingWorkWithAnError) {
    setInstalled({"de", "fr"});
    bridge->setFromLanguage(lang("de"), lang("fr"));
    settle();
    engine->script([](auto &s) { s.gateOpen = false; });
    const auto running = translate(QStringLiteral("eins"), "de", "en");
    engine->waitForTranslationAtGate();
    const auto waiting = translate(QStringLiteral("zwei"), "de", "fr");
    const auto waitingLoad = load(1, "fr");

    bridge->setFromLanguage(lang("fr"), lang("de"));
    ASSERT_TRUE(arrived(waiting));
    ASSERT_TRUE(arrived(waitingLoad));
    EXPECT_TRUE(QVTranslatorError::isCancellation(waiting->error));
    EXPECT_TRUE(QVTranslatorError::isCancellation(waitingLoad->error));
    EXPECT_EQ(running->count, 0); // still at the engine

    engine->script([](auto &s) { s.gateOpen = true; });
    ASSERT_TRUE(arrived(running));
    settle();
    EXPECT_TRUE(running->error.isNull());
    EXPECT_EQ(running->text, QStringLiteral("de-en(eins)"));
    EXPECT_EQ(waiting->count, 1);
    EXPECT_EQ(bridge->firstPairLang(), QStringLiteral("fr"));
    EXPECT_EQ(bridge->secondPairLang(), QStringLiteral("de"));

    // A two-step translation whose first step runs when the pair changes stops there.
    engine->script([](auto &s) { s.gateOpen = false; });
    const auto twoSteps = translate(QStringLiteral("un"), "fr", "de");
    engine->waitForTranslationAtGate();
    bridge->setFromLanguage(lang("de"), lang("fr"));
    engine->script([](auto &s) { s.gateOpen = true; });
    ASSERT_TRUE(arrived(twoSteps));
    settle();
    EXPECT_EQ(twoSteps->count, 1);
    EXPECT_TRUE(QVTranslatorError::isCancellation(twoSteps->error));
}

// At quit the engine's thread may be inside the engine: the bridge says so until it is done,
// answers nothing more (the application is going) and starts nothing new.
TEST_F(SynaptraServiceTest, StoppedForExitRunsNothingNewAndSaysWhileTheEngineIsStillBusy) {
    setInstalled({"de", "fr"});
    bridge->setFromLanguage(lang("de"), lang("fr"));
    settle();
    EXPECT_TRUE(bridge->waitUntilIdle(0));
    engine->script([](auto &s) { s.gateOpen = false; });
    const auto running = translate(QStringLiteral("eins"), "de", "en");
    engine->waitForTranslationAtGate();
    const auto waiting = translate(QStringLiteral("zwei"), "de", "en");

    bridge->stopForExit();
    EXPECT_FALSE(bridge->waitUntilIdle(50));
    const auto afterStop = translate(QStringLiteral("drei"), "de", "en");
    bridge->setFromLanguage(lang("fr"), lang("de"));
    engine->clearCalls();
    engine->script([](auto &s) { s.gateOpen = true; });
    EXPECT_TRUE(bridge->waitUntilIdle(5000));
    qvtest::spin(50);
    EXPECT_EQ(running->count, 0);
    EXPECT_EQ(waiting->count, 0);
    EXPECT_EQ(afterStop->count, 0);
    EXPECT_EQ(engine->callSummary(), QStringList());
}

// A quit may end the process while the engine's thread works, so that thread never writes the
// store: a step's untranslated words are stored by the main thread, and once quitting not at all.
TEST_F(SynaptraServiceTest, TheEnginesThreadNeverWritesTheStoreAndWritesNothingOnceQuitting) {
    const struct {
        const char *name;
        bool stopped;
        QStringList stored;
    } cases[] = {
        {"stopped for exit while the engine works", true, {}},
        {"running", false, {"eins>en", "zwei>en"}},
    };
    setInstalled({"de", "fr"});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        makeBridge();
        ASSERT_FALSE(QVDataManager::sharedInstance().removeAllUnknownWords());
        bridge->setFromLanguage(lang("de"), lang("en"));
        settle();
        engine->script([](auto &s) {
            s.gateOpen = false;
            s.unknownWords[1] = "eins zwei";
        });
        translate(QStringLiteral("hallo"), "de", "en");
        engine->waitForTranslationAtGate();
        if (c.stopped)
            bridge->stopForExit();
        engine->script([](auto &s) { s.gateOpen = true; });
        ASSERT_TRUE(bridge->waitUntilIdle(5000));
        // The engine's work is over and the main thread has not run since.
        EXPECT_EQ(unknownWords(), QStringList());
        qvtest::spin(50);
        EXPECT_EQ(unknownWords(), c.stored);
    }
}

TEST_F(SynaptraServiceTest, HeldLoadsWaitUntilReleasedOrATranslationNeedsThem) {
    struct Case {
        const char *name;
        bool translateFirst; // else released by start-up
        bool changePairWhileHeld;
        QStringList calls;
        bool warmUp; // of every load: only when no translation waits to warm the model itself
    };
    const QList<Case> cases = {
        {"a pair changed while held loads only the last pair", false, true, {"load 1 fr-en", "load 2 en-de"},
         true},
        {"a translation releases them and runs after them",
         true,
         false,
         {"load 1 de-en", "load 2 en-fr", "translate 1 hallo", "translate 2 de-en(hallo)"},
         false},
        {"start-up releases them in their order", false, false, {"load 1 de-en", "load 2 en-fr"}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        makeBridge();
        setInstalled({"de", "fr"});
        bridge->holdLoads();
        bridge->setFromLanguage(lang("de"), lang("fr"));
        if (c.changePairWhileHeld)
            bridge->setFromLanguage(lang("fr"), lang("de"));
        settle();
        EXPECT_TRUE(engine->calls().isEmpty());
        EXPECT_TRUE(bridge->loadsHeld());
        if (c.translateFirst) {
            const auto answer = translate(QStringLiteral("hallo"), "de", "fr");
            ASSERT_TRUE(arrived(answer));
            EXPECT_EQ(answer->text, QStringLiteral("en-fr(de-en(hallo))"));
        } else {
            bridge->releaseLoads();
        }
        settle();
        EXPECT_FALSE(bridge->loadsHeld());
        EXPECT_EQ(engine->callSummary(), c.calls);
        for (const auto &call : engine->calls()) {
            if (call.kind == QStringLiteral("load")) {
                EXPECT_EQ(call.warmUp, c.warmUp) << call.argument.toStdString();
            }
        }
    }
}

TEST_F(SynaptraServiceTest, LosingTheNetworkLoadsTheSettingsPairForItsTranslations) {
    setInstalled({"de", "fr"});
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(lang("de")));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(lang("fr")));
    const QString notification =
        QString::fromLatin1(platform::NetworkStatus::kReachabilityChangedNotification);

    platform::NotificationCenter::defaultCenter().post(notification, {{"status", 2}});
    settle();
    EXPECT_TRUE(engine->calls().isEmpty());

    platform::NotificationCenter::defaultCenter().post(notification, {{"status", 0}});
    settle();
    EXPECT_EQ(engine->callSummary(), (QStringList{"load 1 de-en", "load 2 en-fr"}));

    auto answer = std::make_shared<Answer>();
    bridge->translatedTextFromText(QStringLiteral("hallo"),
                                   [answer](const QString &text, const platform::Error &error) {
                                       ++answer->count;
                                       answer->text = text;
                                       answer->error = error;
                                   });
    ASSERT_TRUE(arrived(answer));
    EXPECT_EQ(answer->text, QStringLiteral("en-fr(de-en(hallo))"));
}

TEST_F(SynaptraServiceTest, RecognisedBlocksTranslateInOrderAndFailOnce) {
    setInstalled({"de"});
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(lang("de")));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(lang("en")));

    int failures = 0;
    platform::Error failure;
    bridge->translateTexts(
        {}, [](const QList<QVRecognizedBlock> &) { ADD_FAILURE() << "success without blocks"; },
        [&](const platform::Error &error) {
            ++failures;
            failure = error;
        });
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(failure.isNull());

    // Slot 1 is empty: every block fails, failure comes once.
    failures = 0;
    const QList<QVRecognizedBlock> blocks = {{QStringLiteral("ei\nns"), QRectF(1, 2, 3, 4), 91.5f, 2},
                                             {QStringLiteral("leer"), QRectF(5, 6, 7, 8), 80.0f, 3},
                                             {QStringLiteral("drei"), QRectF(9, 9, 9, 9), 70.0f, 2}};
    bool succeeded = false;
    bridge->translateTexts(
        blocks, [&](const QList<QVRecognizedBlock> &) { succeeded = true; },
        [&](const platform::Error &error) {
            ++failures;
            failure = error;
        });
    settle();
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(failure.code(), 400);
    EXPECT_FALSE(succeeded);

    bridge->setFromLanguage(lang("de"), lang("en"));
    engine->script([](auto &s) { s.blankInputs.insert("leer"); });
    QList<QVRecognizedBlock> result;
    bridge->translateTexts(
        blocks, [&](const QList<QVRecognizedBlock> &translated) { result = translated; },
        [&](const platform::Error &) { ADD_FAILURE() << "translation failed"; });
    ASSERT_TRUE(qvtest::waitUntil([&] { return !result.isEmpty(); }));
    ASSERT_EQ(result.size(), 3);
    EXPECT_EQ(result[0].text, QStringLiteral("de-en(eins)")); // line breaks go before translating
    EXPECT_EQ(result[1].text, QStringLiteral("leer"));        // a blank translation keeps the recognised text
    EXPECT_EQ(result[2].text, QStringLiteral("de-en(drei)"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(result[i].boundingBox, blocks[i].boundingBox);
        EXPECT_EQ(result[i].confidence, blocks[i].confidence);
        EXPECT_EQ(result[i].level, blocks[i].level);
    }
}

TEST_F(SynaptraServiceTest, UploadSendsStoredWordsAndRemovesOnlyThoseSent) {
    int uploads = 0;
    QVariantList sent;
    std::function<void()> succeed;
    QVMSynaptraService::Failure fail;
    QVMSynaptraService::setUnknownWordsUploader(
        [&](const QVariantList &words, std::function<void()> success, QVMSynaptraService::Failure failure) {
            ++uploads;
            sent = words;
            succeed = std::move(success);
            fail = std::move(failure);
        });
    QVMSynaptraService::uploadAllUnknownWords();
    EXPECT_EQ(uploads, 0); // nothing stored, nothing sent

    bridge->saveUnknownWords(QStringLiteral(" Haus  Baum "), QStringLiteral("en"));
    QVMSynaptraService::uploadAllUnknownWords();
    ASSERT_EQ(uploads, 1);
    QStringList sentWords;
    for (const QVariant &word : sent)
        sentWords.append(word.toMap().value("word").toString() + ">" + word.toMap().value("to").toString());
    sentWords.sort();
    EXPECT_EQ(sentWords, (QStringList{"Baum>en", "Haus>en"}));

    fail(platform::Error(QStringLiteral("com.translator.network.response"), 500));
    EXPECT_EQ(unknownWords(), (QStringList{"Baum>en", "Haus>en"})); // kept for the next upload

    QVMSynaptraService::uploadAllUnknownWords();
    bridge->saveUnknownWords(QStringLiteral("Tisch"), QStringLiteral("fr")); // while the upload runs
    succeed();
    EXPECT_EQ(unknownWords(), QStringList{"Tisch>fr"});
}
