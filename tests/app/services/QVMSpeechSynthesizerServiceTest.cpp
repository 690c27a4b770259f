#include "OnlineServiceTest.h"

#include "QVSystemSpeechEngine.h"
#include "services/speech/QVMSpeechSynthesizerService.h"

#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"

#include "platform/SystemLog.h"

using qvtest::FakeReply;

namespace {

class FakeSpeechEngine : public QVSpeechEngine {
public:
    QStringList voices;
    QStringList spoken;
    double lastWordsPerMinute = 0;
    int stops = 0;
    bool speakingNow = false;
    // An engine that starts on first use, as the on-demand one does.
    bool started = true;
    int prepares = 0;

    bool hasVoiceForLocale(const QString &locale) const override {
        return started && voices.contains(locale);
    }
    bool isReady() const override { return started; }
    void prepare() override { ++prepares; }
    void becomeReady() {
        started = true;
        emit ready();
    }
    void speak(const QString &text, const QString &, double wordsPerMinute) override {
        spoken << text;
        lastWordsPerMinute = wordsPerMinute;
        speakingNow = true;
    }
    void stop() override {
        ++stops;
        end(false);
    }
    bool isSpeaking() const override { return speakingNow; }
    void end(bool completed) {
        if (!speakingNow)
            return;
        speakingNow = false;
        emit finished(completed);
    }
};

class FakeAudioPlayer : public QVAudioPlayer {
public:
    bool output = true;
    QList<QByteArray> played;
    double lastVolume = 0;
    double lastRate = 0;
    bool playingNow = false;

    // A player whose module loads on first use, as the on-demand one does.
    bool loaded = true;
    int prepares = 0;

    bool canPlay() const override { return output; }
    bool isReady() const override { return loaded; }
    void prepare() override { ++prepares; }
    void becomeReady() {
        loaded = true;
        emit ready();
    }
    void play(const QByteArray &audio, double volume, double rate) override {
        end(false);
        played << audio;
        lastVolume = volume;
        lastRate = rate;
        playingNow = true;
        // Audio that cannot be decoded ends at once, as the media player reports it.
        if (audio == "not audio")
            end(false);
    }
    void stop() override { end(false); }
    bool isPlaying() const override { return playingNow; }
    void end(bool successfully) {
        if (!playingNow)
            return;
        playingNow = false;
        emit finished(successfully);
    }
};

} // namespace

class QVMSpeechSynthesizerServiceTest : public OnlineServiceTest {
protected:
    void SetUp() override {
        OnlineServiceTest::SetUp();
        auto engineOwner = std::make_unique<FakeSpeechEngine>();
        auto playerOwner = std::make_unique<FakeAudioPlayer>();
        engine = engineOwner.get();
        player = playerOwner.get();
        engine->voices = {QStringLiteral("de_DE")};
        service =
            std::make_unique<QVMSpeechSynthesizerService>(std::move(engineOwner), std::move(playerOwner));
        write([](platform::Transaction &tx) {
            for (const char *locale : {"de_DE", "en_GB", "uk_UA", "fr_FR"})
                tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", locale}});
        });
        linkRemoteSettings();
        backend.route("GET", QStringLiteral("/v2/api/v3/textToSpeech"),
                      FakeReply::bytes("RIFFwave", "audio/wav"));
    }
    void TearDown() override {
        service.reset();
        OnlineServiceTest::TearDown();
    }
    void linkRemoteSettings() {
        ASSERT_FALSE(QVSettingsService::changeSettings(
            [](platform::Transaction &tx, const QVTranslateSettings &settings) {
                settings.setRemoteSettings(tx, QVRemoteSettings::createWithDefaults(tx));
            }));
    }
    QVLanguageRealm language(const char *locale) const {
        return QVLanguageRealm(
            store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), QString::fromLatin1(locale)));
    }

    FakeSpeechEngine *engine = nullptr;
    FakeAudioPlayer *player = nullptr;
    std::unique_ptr<QVMSpeechSynthesizerService> service;
};

TEST_F(QVMSpeechSynthesizerServiceTest,
       LanguagesWithAnInstalledTableVoiceSpeakLocallyAllOthersAskTheBackend) {
    struct Case {
        const char *locale;
        bool local;
    };
    const QList<Case> cases = {
        {"de_DE", true},  // in the table, voice installed
        {"fr_FR", false}, // in the table, no voice installed
        {"uk_UA", false}, // not in the table at all
    };
    engine->voices << QStringLiteral("uk_UA");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.locale);
        engine->spoken.clear();
        backend.clearRequests();
        Calls<bool> completion;
        service->speechText(QStringLiteral("Guten Tag"), language(c.locale), completion.block());
        if (c.local) {
            EXPECT_EQ(engine->spoken, QStringList{"Guten Tag"});
            EXPECT_DOUBLE_EQ(engine->lastWordsPerMinute, double(0.4f) * 270 + 90);
            engine->end(true);
        } else {
            ASSERT_TRUE(qvtest::waitUntil([&] { return player->playingNow; }));
            EXPECT_TRUE(engine->spoken.isEmpty());
            EXPECT_EQ(backend.lastRequest().queryValue("lang"), QString::fromLatin1(c.locale));
            player->end(true);
        }
        ASSERT_EQ(completion.count, 1);
        EXPECT_TRUE(completion.arg<0>());
    }
}

TEST_F(QVMSpeechSynthesizerServiceTest, BackendAudioIsAskedAtTheSpeedsRateAndPlayedLoudAndFaster) {
    Calls<bool> completion;
    service->speechText(QStringLiteral("Bonjour"), language("fr_FR"), completion.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return player->playingNow; }));
    const qvtest::RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.queryValue("rate"), QStringLiteral("0.9"));
    EXPECT_EQ(request.queryValue("gender"), QString());
    EXPECT_EQ(request.queryValue("pitch"), QString());
    EXPECT_EQ(request.queryValue("text"), QStringLiteral("Bonjour"));
    EXPECT_EQ(player->played, QList<QByteArray>{"RIFFwave"});
    EXPECT_DOUBLE_EQ(player->lastVolume, 1.0);
    EXPECT_NEAR(player->lastRate, 1.3, 1e-6);
    EXPECT_TRUE(service->speaking());
}

TEST_F(QVMSpeechSynthesizerServiceTest, TextsOverTheOnlineLimitEndAtOnceWithoutARequest) {
    struct Case {
        const char *name;
        qint64 limit;
        int length;
        bool sent;
    };
    // Lengths and the limit compare as unsigned numbers: a negative limit sets none.
    const QList<Case> cases = {{"at the limit", 100, 100, true},
                               {"one over", 100, 101, false},
                               {"a zero limit", 0, 1, false},
                               {"a negative limit", -1, 5000, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(QVSettingsService::changeSettings(
            [&](platform::Transaction &tx, const QVTranslateSettings &settings) {
                settings.remoteSettings().setOnlineSpeechCharacterLimit(tx, c.limit);
            }));
        backend.clearRequests();
        Calls<bool> completion;
        service->speechText(QString(c.length, 'a'), language("fr_FR"), completion.block());
        if (c.sent) {
            ASSERT_TRUE(backend.waitForRequests(1));
            ASSERT_TRUE(qvtest::waitUntil([&] { return player->playingNow; }));
            player->end(true);
        } else {
            qvtest::spin(50);
            EXPECT_EQ(backend.requestCount(), 0);
        }
        ASSERT_EQ(completion.count, 1);
        EXPECT_EQ(completion.arg<0>(), c.sent);
    }
}

TEST_F(QVMSpeechSynthesizerServiceTest, EveryWayBackendSpeechFailsEndsWithFalse) {
    struct Case {
        const char *name;
        std::function<void()> arrange;
    };
    const QList<Case> cases = {
        {"backend refuses",
         [&] {
             backend.route("GET", "/v2/api/v3/textToSpeech", FakeReply::json({{"err", "x"}}, 500));
         }},
        {"reply is no audio",
         [&] {
             backend.route("GET", "/v2/api/v3/textToSpeech", FakeReply::json({{"result", 1}}));
         }},
        {"audio cannot be decoded",
         [&] {
             backend.route("GET", "/v2/api/v3/textToSpeech", FakeReply::bytes("not audio", "audio/wav"));
         }},
        {"no audio output", [&] { player->output = false; }},
        {"no remote settings",
         [&] {
             ASSERT_FALSE(QVSettingsService::changeSettings(
                 [](platform::Transaction &tx, const QVTranslateSettings &s) {
                     s.setRemoteSettings(tx, QVRemoteSettings());
                 }));
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        Calls<bool> completion;
        service->speechText(QStringLiteral("Bonjour"), language("fr_FR"), completion.block());
        ASSERT_TRUE(settle(completion));
        qvtest::spin(30);
        EXPECT_EQ(completion.count, 1);
        EXPECT_FALSE(completion.arg<0>());
        EXPECT_FALSE(service->speaking());
        backend.route("GET", QStringLiteral("/v2/api/v3/textToSpeech"),
                      FakeReply::bytes("RIFFwave", "audio/wav"));
        player->output = true;
        linkRemoteSettings();
    }
}

TEST_F(QVMSpeechSynthesizerServiceTest, SpeakingAgainStopsWhateverSpeaksAndBothCompletionsSayFalse) {
    struct Case {
        const char *name;
        const char *locale;
        std::function<bool()> started;
    };
    const QList<Case> cases = {
        {"system voice", "de_DE", [&] { return engine->speakingNow; }},
        {"backend audio playing", "fr_FR", [&] { return player->playingNow; }},
        {"backend audio on its way", "fr_FR", [&] { return backend.requestCount() > 0; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.clearRequests();
        if (QByteArray(c.name).endsWith("way"))
            backend.route("GET", QStringLiteral("/v2/api/v3/textToSpeech"),
                          FakeReply::bytes("RIFFwave", "audio/wav").withDelay(300));
        Calls<bool> first;
        service->speechText(QStringLiteral("eins"), language(c.locale), first.block());
        ASSERT_TRUE(qvtest::waitUntil(c.started));
        EXPECT_TRUE(service->speaking());

        Calls<bool> second;
        service->speechText(QStringLiteral("zwei"), language(c.locale), second.block());
        qvtest::spin(400); // a late reply must not start playing
        EXPECT_EQ(first.count, 1);
        EXPECT_FALSE(first.arg<0>());
        EXPECT_EQ(second.count, 1);
        EXPECT_FALSE(second.arg<0>());
        EXPECT_FALSE(service->speaking());
        EXPECT_FALSE(player->playingNow);

        // The next call starts anew.
        Calls<bool> third;
        service->speechText(QStringLiteral("drei"), language("de_DE"), third.block());
        EXPECT_TRUE(engine->speakingNow);
        engine->end(true);
        EXPECT_TRUE(third.arg<0>());
        backend.route("GET", QStringLiteral("/v2/api/v3/textToSpeech"),
                      FakeReply::bytes("RIFFwave", "audio/wav"));
    }
}

TEST_F(QVMSpeechSynthesizerServiceTest, StopSpeakingAlsoStopsBackendAudio) {
    Calls<bool> completion;
    service->speechText(QStringLiteral("Bonjour"), language("fr_FR"), completion.block());
    ASSERT_TRUE(qvtest::waitUntil([&] { return player->playingNow; }));
    service->stopSpeaking();
    EXPECT_FALSE(player->playingNow);
    EXPECT_FALSE(service->speaking());
    ASSERT_EQ(completion.count, 1);
    EXPECT_FALSE(completion.arg<0>());
}

TEST_F(QVMSpeechSynthesizerServiceTest, CatalogueLanguagesOfTheTableGetTheirVoice) {
    QStringList log;
    platform::SystemLog::setSink([&](const QString &line) { log << line; });
    QVMSpeechSynthesizerService::addInformationToRealmLanguage();
    platform::SystemLog::setSink({});
    EXPECT_EQ(language("de_DE").voiceIDMac(), QStringLiteral("com.apple.speech.synthesis.voice.anna"));
    EXPECT_TRUE(language("de_DE").voiceIDMacBool());
    EXPECT_EQ(language("en_GB").voiceIDMac(), QStringLiteral("com.apple.speech.synthesis.voice.daniel"));
    EXPECT_TRUE(language("uk_UA").voiceIDMac().isEmpty());
    EXPECT_FALSE(language("uk_UA").voiceIDMacBool());
    // 40 table languages, 3 of them in this catalogue.
    EXPECT_EQ(QVMSpeechSynthesizerService::languageList().size(), 40);
    EXPECT_EQ(log.filter(QStringLiteral("Error MAC addInformationToRealmLanguage: ")).size(), 37);
    EXPECT_TRUE(log.contains(QStringLiteral("Error MAC addInformationToRealmLanguage: en-scotland")));
}

TEST_F(QVMSpeechSynthesizerServiceTest, ASpeechAskedWhileTheEngineStartsGoesTheWayItsVoicesSayOnceStarted) {
    struct Case {
        const char *name;
        const char *locale;
        bool output; // an audio output exists
        bool stopWhileStarting;
        bool spokenLocally;
        bool askedBackend;
    };
    const QList<Case> cases = {
        // No output: nothing could be heard, so it ends at once without starting anything.
        {"no audio output", "de_DE", false, false, false, false},
        {"stopped while the engine starts", "de_DE", true, true, false, false},
        {"installed voice", "de_DE", true, false, true, false},
        {"no installed voice", "fr_FR", true, false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        engine->started = false;
        engine->prepares = 0;
        engine->spoken.clear();
        player->output = c.output;
        backend.clearRequests();
        Calls<bool> completion;
        service->speechText(QStringLiteral("Guten Tag"), language(c.locale), completion.block());
        if (!c.output) {
            EXPECT_EQ(completion.count, 1);
            EXPECT_FALSE(completion.arg<0>());
            EXPECT_EQ(engine->prepares, 0);
            continue;
        }
        EXPECT_EQ(engine->prepares, 1);
        EXPECT_EQ(completion.count, 0);
        EXPECT_TRUE(service->speaking());
        if (c.stopWhileStarting)
            service->stopSpeaking();
        engine->becomeReady();
        if (c.spokenLocally) {
            EXPECT_EQ(engine->spoken, QStringList{"Guten Tag"});
            engine->end(true);
        } else if (c.askedBackend) {
            ASSERT_TRUE(qvtest::waitUntil([&] { return player->playingNow; }));
            EXPECT_EQ(backend.lastRequest().queryValue("lang"), QString::fromLatin1(c.locale));
            player->end(true);
        } else {
            qvtest::spin(50);
            EXPECT_TRUE(engine->spoken.isEmpty());
            EXPECT_EQ(backend.requestCount(), 0);
        }
        ASSERT_EQ(completion.count, 1);
        EXPECT_EQ(completion.arg<0>(), c.spokenLocally || c.askedBackend);
        EXPECT_FALSE(service->speaking());
    }
}

TEST_F(QVMSpeechSynthesizerServiceTest, ASpeechAskedWhileTheAudioPlayerLoadsWaitsForItAndAStopEndsIt) {
    const struct Case {
        const char *name;
        bool output;
        bool stopWhileLoading;
        bool spoken;
    } cases[] = {
        {"stopped while the player loads", true, true, false},
        {"no audio output, found once loaded", false, false, false},
        {"an output: the speech goes on", true, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        player->loaded = false;
        player->prepares = 0;
        player->output = c.output;
        engine->spoken.clear();
        Calls<bool> completion;
        service->speechText(QStringLiteral("Guten Tag"), language("de_DE"), completion.block());
        EXPECT_EQ(player->prepares, 1);
        EXPECT_EQ(completion.count, 0) << "nothing is decided before the player has loaded";
        EXPECT_TRUE(service->speaking()) << "a second click stops it";
        if (c.stopWhileLoading)
            service->stopSpeaking();
        player->becomeReady();
        EXPECT_EQ(engine->spoken, c.spoken ? QStringList{"Guten Tag"} : QStringList());
        if (c.spoken)
            engine->end(true);
        EXPECT_EQ(completion.count, 1);
        EXPECT_EQ(completion.arg<0>(), c.spoken);
        EXPECT_FALSE(service->speaking());
    }
}

TEST_F(QVMSpeechSynthesizerServiceTest,
       TableLanguagesCountAsSpeakableUntilTheEngineHasStartedThenItsVoicesDecide) {
    struct Case {
        const char *locale;
        bool beforeStart;
        bool afterStart;
    };
    const QList<Case> cases = {
        {"de_DE", true, true},   // in the table, voice installed
        {"fr_FR", true, false},  // in the table, no voice installed
        {"uk_UA", false, false}, // not in the table
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.locale);
        engine->started = false;
        EXPECT_EQ(service->isSupportedLocaleForPlay(QString::fromLatin1(c.locale)), c.beforeStart);
        EXPECT_EQ(engine->prepares, 0); // asking starts nothing
        engine->started = true;
        EXPECT_EQ(service->isSupportedLocaleForPlay(QString::fromLatin1(c.locale)), c.afterStart);
    }
}

TEST(QVSystemSpeechEngineRateTest, WordsPerMinuteMapOntoTheDaemonsRateScale) {
    const QList<QPair<double, double>> cases = {
        {80, -1.0}, {125, -0.5}, {170, 0.0}, {198, 28.0 / 279.0}, {449, 1.0}, {30, -1.0}, {600, 1.0},
    };
    for (const auto &[wordsPerMinute, rate] : cases) {
        SCOPED_TRACE(wordsPerMinute);
        EXPECT_NEAR(QVSystemSpeechEngine::engineRateForWordsPerMinute(wordsPerMinute), rate, 1e-9);
    }
}
