#include "OnlineServiceTest.h"
#include "PackageCatalogueFixture.h"

#include "services/network/QVRequestManager.h"
#include "services/network/QVUrlForPatch.h"
#include "core/models/QVPackagesMapper.h"

#include "core/models/QVBaseTranslateModel.h"
#include "core/settings/QVSettingsService.h"
#include "platform/SystemLog.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

using qvtest::FakeReply;
using qvtest::RecordedRequest;

namespace {

using ErrorCalls = Calls<platform::Error>;

QJsonObject parse(const char *json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

QStringList stringList(const QJsonValue &value) {
    QStringList out;
    for (const QJsonValue &element : value.toArray())
        out << element.toString();
    return out;
}

} // namespace

class QVRequestManagerTest : public OnlineServiceTest {
protected:
    QVRequestManager &manager() { return QVRequestManager::instance(); }
    static QString api(const QString &path) { return QStringLiteral("/v2/api/v3/") + path; }

    // Runs translate() against a scripted reply and returns the record.
    QVariantMap translateWithReply(const QJsonObject &reply, const QString &text = QStringLiteral("Hello"),
                                   const QString &from = QStringLiteral("en_GB")) {
        backend.route("POST", api("translate"), FakeReply::json(reply));
        Calls<QVariantMap> success;
        ErrorCalls failure;
        manager().translate(text, from, QStringLiteral("de_DE"), success.block(), failure.block());
        EXPECT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        EXPECT_EQ(failure.count, 0);
        return success.arg<0>();
    }
};

TEST_F(QVRequestManagerTest, TranslationPostsItsLinesWithTheClientsHeadersAndBuildsTheRecord) {
    backend.route(
        "POST", api("translate"),
        FakeReply::json(parse(R"({"result":["Hallo","Welt"],"from":"en_GB","translator":"engine-a"})")));
    Calls<QVariantMap> success;
    ErrorCalls failure;
    const qint64 before = QVBaseTranslateModel::identifierForDate(QDateTime::currentDateTimeUtc());
    manager().translate(QStringLiteral("Hello\nWorld"), QStringLiteral("en_GB"), QStringLiteral("de_DE"),
                        success.block(), failure.block());
    ASSERT_TRUE(settle(success));
    const qint64 after = QVBaseTranslateModel::identifierForDate(QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(success.allOnMain);
    EXPECT_EQ(failure.count, 0);

    const RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, api("translate"));
    EXPECT_EQ(request.header("Authorization"), "Bearer kfr8jxm61wzqtnb");
    EXPECT_EQ(request.header("Accept"), "application/json");
    EXPECT_EQ(request.header("Content-Type"), "application/json");
    const QJsonObject body = request.jsonObject();
    EXPECT_EQ(body.keys(), (QStringList{"data", "from", "platform", "to", "uuid"}));
    EXPECT_EQ(stringList(body.value("data")), (QStringList{"Hello", "World"}));
    EXPECT_EQ(body.value("from").toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(body.value("to").toString(), QStringLiteral("de_DE"));
    EXPECT_EQ(body.value("platform").toString(), QStringLiteral("macOS"));
    EXPECT_EQ(body.value("uuid").toString(), uuid);

    const QVariantMap record = success.arg<0>();
    EXPECT_GE(record.value("idTranslation").toLongLong(), before);
    EXPECT_LE(record.value("idTranslation").toLongLong(), after);
    EXPECT_EQ(record.value("translationType").toInt(), 1);
    EXPECT_EQ(record.value("originalText").toString(), QStringLiteral("Hello\nWorld"));
    EXPECT_EQ(record.value("translatedText").toString(), QStringLiteral("Hallo\nWelt"));
    EXPECT_EQ(record.value("isFavorite"), QVariant(false));
    EXPECT_EQ(record.value("learnCount").toInt(), 0);
    EXPECT_EQ(record.value("from").toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(record.value("detectedLanguage").toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(record.value("translationViaCompany").toString(), QStringLiteral("engine-a"));
}

TEST_F(QVRequestManagerTest, TextIsSentAsGivenSplitOnlyAtLineFeeds) {
    struct Case {
        const char *name;
        QString text;
        QString from;
        QStringList lines;
        QString sentFrom;
    };
    const QList<Case> cases = {
        {"automatic detection sends an empty source",
         QStringLiteral("Hi"),
         QStringLiteral("auto-detection"),
         {"Hi"},
         QString(QLatin1String(""))},
        {"empty text is one empty line",
         QString(QLatin1String("")),
         QStringLiteral("en_GB"),
         {""},
         QStringLiteral("en_GB")},
        {"carriage return stays in its line",
         QStringLiteral("a\r\nb"),
         QStringLiteral("en_GB"),
         {"a\r", "b"},
         QStringLiteral("en_GB")},
        // Typed text is not URL-encoded: a percent escape is the user's own text.
        {"percent escapes are the user's text",
         QStringLiteral("50%20off %"),
         QStringLiteral("en_GB"),
         {"50%20off %"},
         QStringLiteral("en_GB")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.clearRequests();
        const QVariantMap record = translateWithReply(parse(R"({"result":["x"]})"), c.text, c.from);
        const QJsonObject body = backend.lastRequest().jsonObject();
        EXPECT_EQ(stringList(body.value("data")), c.lines);
        EXPECT_EQ(body.value("from").toString(), c.sentFrom);
        EXPECT_TRUE(body.value("from").isString());
        EXPECT_EQ(record.value("originalText").toString(), c.text);
    }
}

TEST_F(QVRequestManagerTest, RecordTakesLanguageTransliterationAndTranslatorOnlyInTheirForms) {
    struct Case {
        const char *name;
        const char *reply;
        QVariantMap expected; // keys that must hold these values
        QStringList absent;
    };
    const QList<Case> cases = {
        {"detected language array gives its first code",
         R"({"result":["x"],"from":["fr_FR","it_IT"]})",
         {{"from", "fr_FR"}, {"detectedLanguage", "fr_FR"}},
         {}},
        {"null source means the target",
         R"({"result":["x"],"from":null})",
         {{"detectedLanguage", "de_DE"}},
         {"from"}},
        {"no source at all", R"({"result":["x"]})", {}, {"from", "detectedLanguage"}},
        {"empty transliteration is left out",
         R"({"result":["x"],"targetTransliteration":[]})",
         {},
         {"transliterationTranslatedText"}},
        {"transliteration lines are joined",
         R"({"result":["x"],"targetTransliteration":["ha","lo"]})",
         {{"transliterationTranslatedText", "ha\nlo"}},
         {}},
        {"numeric translator is left out",
         R"({"result":["x"],"translator":5})",
         {},
         {"translationViaCompany"}},
        {"single-string result", R"({"result":"Hallo"})", {{"translatedText", "Hallo"}}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QVariantMap record = translateWithReply(parse(c.reply));
        for (auto it = c.expected.cbegin(); it != c.expected.cend(); ++it)
            EXPECT_EQ(record.value(it.key()).toString(), it.value().toString()) << it.key().toStdString();
        for (const QString &key : c.absent)
            EXPECT_FALSE(record.contains(key)) << key.toStdString();
    }
}

TEST_F(QVRequestManagerTest, SecondFormGivesTextTranslationTransliterationAndDetectedLanguage) {
    backend.route(
        "POST", api("translate"),
        FakeReply::json(parse(R"({"result":["Hallo"],"from":["en_GB"],"targetTransliteration":["ha"]})")));
    Calls<QString, QString, QString, QString, QString> success;
    ErrorCalls failure;
    manager().translateText(QStringLiteral("Hello"), QStringLiteral("auto-detection"),
                            QStringLiteral("de_DE"), success.block(), failure.block());
    ASSERT_TRUE(settle(success));
    EXPECT_EQ(success.arg<0>(), QStringLiteral("Hello"));
    EXPECT_EQ(success.arg<1>(), QStringLiteral("Hallo"));
    EXPECT_TRUE(success.arg<2>().isEmpty());
    EXPECT_EQ(success.arg<3>(), QStringLiteral("ha"));
    EXPECT_EQ(success.arg<4>(), QStringLiteral("en_GB"));
    EXPECT_EQ(backend.lastRequest().jsonObject().value("from").toString(), QString(QLatin1String("")));
}

TEST_F(QVRequestManagerTest, MissingInputFailsOnceWithoutErrorAndSendsNothing) {
    const QList<
        QPair<const char *, std::function<void(QVRequestManager &, const QVRequestManager::ErrorBlock &)>>>
        cases = {
            {"translation without text",
             [](QVRequestManager &m, const auto &f) { m.translate(QString(), "en_GB", "de_DE", {}, f); }},
            {"translation without source",
             [](QVRequestManager &m, const auto &f) { m.translate("Hi", QString(), "de_DE", {}, f); }},
            {"translation without target",
             [](QVRequestManager &m, const auto &f) { m.translateText("Hi", "en_GB", QString(), {}, f); }},
            {"lexical meaning without word",
             [](QVRequestManager &m, const auto &f) {
                 m.getLexicalMeaningForWord(QString(), "en", "de", {}, f);
             }},
            {"speech without language",
             [](QVRequestManager &m, const auto &f) {
                 m.speechObjectForText("Hi", QString(), "", "0.9", "", {}, f);
             }},
            {"picture without data",
             [](QVRequestManager &m, const auto &f) {
                 m.parseImageData(QByteArray(), "en_GB", "de_DE", {}, f);
             }},
            {"picture without target",
             [](QVRequestManager &m, const auto &f) { m.parseImageData("jpeg", "en_GB", QString(), {}, f); }},
            {"conversion without file",
             [](QVRequestManager &m, const auto &f) { m.convertDocument(QUrl(), "docx", {}, f); }},
        };
    for (const auto &[name, start] : cases) {
        SCOPED_TRACE(name);
        ErrorCalls failure;
        start(manager(), failure.block());
        ASSERT_TRUE(settle(failure));
        qvtest::spin(30);
        EXPECT_EQ(failure.count, 1);
        EXPECT_TRUE(failure.allOnMain);
        EXPECT_TRUE(failure.arg<0>().isNull());
    }
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(QVRequestManagerTest, ReplyWithoutItsPayloadIsAFailureWithAnError) {
    backend.route("*", QStringLiteral("/v2/api/v3/*"), FakeReply::json({{"status", "ok"}}));
    backend.route("*", QStringLiteral("/translateWebpageAPI/"), FakeReply::json({{"status", "ok"}}));
    using Start = std::function<void(QVRequestManager &, const QVRequestManager::ErrorBlock &, int *)>;
    const auto counted = [](int *successes) { return [successes](auto &&...) { ++*successes; }; };
    const QList<QPair<const char *, Start>> cases = {
        {"translate",
         [&](auto &m, const auto &f, int *s) { m.translate("Hi", "en_GB", "de_DE", counted(s), f); }},
        {"translateText",
         [&](auto &m, const auto &f, int *s) { m.translateText("Hi", "en_GB", "de_DE", counted(s), f); }},
        {"language list", [&](auto &m, const auto &f, int *s) { m.getLanguagesSucces(counted(s), f); }},
        {"word entries",
         [&](auto &m, const auto &f, int *s) { m.getWordEntriesForText("ca", "en_GB", counted(s), f); }},
        {"lexical meaning", [&](auto &m, const auto &f,
                                int *s) { m.getLexicalMeaningForWord("cat", "en", "de", counted(s), f); }},
        {"package catalogue",
         [&](auto &m, const auto &f, int *s) { m.getLanguagesPackagesForLocale("en_GB", counted(s), f); }},
        {"web page",
         [&](auto &m, const auto &f, int *s) {
             m.translateWebPageWithUrlString("https://example.org", "en_GB", "de_DE", counted(s), f);
         }},
        {"phrase book",
         [&](auto &m, const auto &f, int *s) { m.getPhraseBookForLocale("de", counted(s), f); }},
        {"speech audio as json",
         [&](auto &m, const auto &f, int *s) {
             m.speechObjectForText("Hi", "de_DE", "", "0.9", "", counted(s), f);
         }},
    };
    for (const auto &[name, start] : cases) {
        SCOPED_TRACE(name);
        int successes = 0;
        ErrorCalls failure;
        start(manager(), failure.block(), &successes);
        ASSERT_TRUE(settle(failure));
        qvtest::spin(20);
        EXPECT_EQ(successes, 0);
        EXPECT_EQ(failure.count, 1);
        EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("com.translator"));
        EXPECT_EQ(failure.arg<0>().code(), 400);
    }
}

TEST_F(QVRequestManagerTest, ServerErrorBodiesReachTheFailureBlockWithTheirStatus) {
    struct Case {
        const char *name;
        FakeReply reply;
        qint64 code;
        QString description;
    };
    const QList<Case> cases = {
        {"err dictionary", FakeReply::json(parse(R"({"err":{"err_code":3,"message":"Limit reached"}})"), 500),
         500, QStringLiteral("Limit reached")},
        {"err string", FakeReply::json(parse(R"({"err":"Bad language"})"), 400), 400,
         QStringLiteral("Bad language")},
        {"payment required", FakeReply::json({}, 402), 402, {}},
        {"html error page",
         FakeReply::text("<html>down</html>", 503).withHeader("Content-Type", "text/html"),
         503,
         {}},
        {"plain text error", FakeReply::text("oops", 500), 500, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", api("translate"), c.reply);
        int successes = 0;
        ErrorCalls failure;
        manager().translate(
            "Hi", "en_GB", "de_DE", [&](const QVariantMap &) { ++successes; }, failure.block());
        ASSERT_TRUE(settle(failure));
        EXPECT_EQ(successes, 0);
        EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("com.translator.network.response"));
        EXPECT_EQ(failure.arg<0>().code(), c.code);
        if (!c.description.isEmpty()) {
            EXPECT_EQ(failure.arg<0>().localizedDescription(), c.description);
        }
    }
}

TEST_F(QVRequestManagerTest, SilentServerTimesOutOnce) {
    backend.route("POST", api("translate"), FakeReply::json({{"result", QJsonArray{"x"}}}).withDelay(2000));
    QVRequestManager client;
    client.setTimeoutInterval(200);
    ErrorCalls failure;
    int successes = 0;
    client.translate(
        "Hi", "en_GB", "de_DE", [&](const QVariantMap &) { ++successes; }, failure.block());
    ASSERT_TRUE(settle(failure));
    qvtest::spin(50);
    EXPECT_EQ(failure.count, 1);
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("NSURLErrorDomain"));
    EXPECT_EQ(failure.arg<0>().code(), -1001);
}

TEST_F(QVRequestManagerTest, EachRequestSendsItsMethodPathOrderedQueryAndBody) {
    backend.route("*", QStringLiteral("/*"), FakeReply::json({{"result", QJsonArray{}}}));
    struct Case {
        const char *name;
        std::function<void(QVRequestManager &)> start;
        QByteArray method;
        QString path;
        QList<QPair<QString, QString>> query;
        QStringList bodyKeys;
    };
    const QString id = uuid;
    const QList<Case> cases = {
        {"language list",
         [](auto &m) { m.getLanguagesSucces({}, {}); },
         "GET",
         api("getLanguages"),
         {{"platform", "macOS"}, {"uuid", id}},
         {}},
        {"word entries",
         [](auto &m) { m.getWordEntriesForText("ca t&", "en_GB", {}, {}); },
         "GET",
         api("wordDictionary"),
         {{"text", "ca t&"}, {"lang", "en_GB"}, {"platform", "macOS"}, {"uuid", id}},
         {}},
        {"lexical meaning",
         [](auto &m) { m.getLexicalMeaningForWord("cat", "en", "de", {}, {}); },
         "POST",
         api("getLexicalMeaning"),
         {},
         {"from", "platform", "to", "uuid", "word"}},
        {"speech audio",
         [](auto &m) { m.speechObjectForText("Guten Tag", "de_DE", "", "0.9", "", {}, {}); },
         "GET",
         api("textToSpeech"),
         {{"lang", "de_DE"},
          {"text", "Guten Tag"},
          {"platform", "macOS"},
          {"gender", ""},
          {"rate", "0.9"},
          {"pitch", ""},
          {"uuid", id}},
         {}},
        {"package catalogue",
         [](auto &m) { m.getLanguagesPackagesForLocale("en_GB", {}, {}); },
         "POST",
         api("languageModels"),
         {{"locale_code", "en_GB"}, {"type", "opennmt-desktop"}},
         {"platform", "uuid", "version"}},
        {"untranslated words",
         [](auto &m) {
             m.sendUnknownWords({QVariantMap{{"word", "Baum"}}}, {}, {});
         },
         "POST",
         api("sendUnknownWords"),
         {},
         {"data", "platform", "uuid"}},
        {"web page",
         [](auto &m) { m.translateWebPageWithUrlString("https://example.org", "en_GB", "de_DE", {}, {}); },
         "POST",
         QStringLiteral("/translateWebpageAPI/"),
         {},
         {"from", "platform", "to", "url", "uuid"}},
        {"phrase book",
         [](auto &m) { m.getPhraseBookForLocale("de", {}, {}); },
         "GET",
         api("getPhrases"),
         {{"version", "0.9"}, {"lang", "de"}, {"platform", "macOS"}, {"uuid", id}},
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.clearRequests();
        c.start(manager());
        ASSERT_TRUE(backend.waitForRequests(1));
        const RecordedRequest request = backend.lastRequest();
        EXPECT_EQ(request.method, c.method);
        EXPECT_EQ(request.path, c.path);
        EXPECT_EQ(request.queryItems, c.query);
        QStringList keys = request.jsonObject().keys();
        EXPECT_EQ(keys, c.bodyKeys);
        qvtest::spin(20);
    }
}

TEST_F(QVRequestManagerTest, CatalogueBodyAndReplyFeedThePackageMapper) {
    backend.route(
        "POST", api("languageModels"),
        FakeReply::json(QJsonObject{{"result", QJsonDocument::fromJson(kPackageCatalogue).array()}}));
    Calls<QVariantList> success;
    manager().getLanguagesPackagesForLocale(QStringLiteral("en_GB"), success.block(), {});
    ASSERT_TRUE(settle(success));
    EXPECT_EQ(backend.lastRequest().jsonObject().value("version").toInt(), 2);
    EXPECT_TRUE(backend.lastRequest().jsonObject().value("version").isDouble());
    platform::Error error;
    const QList<QVPackagesRealm> languages =
        QVPackagesMapper::arrayPackagesForJSONArray(success.arg<0>(), &error);
    EXPECT_FALSE(error) << error.localizedDescription().toStdString();
    EXPECT_FALSE(languages.isEmpty());
}

TEST_F(QVRequestManagerTest, SmallRepliesReachTheirCallersInTheirOwnForm) {
    backend.route("POST", api("getLexicalMeaning"),
                  FakeReply::json(parse(
                      R"({"result":{"transcription":"kat","partsOfSpeech":{"noun":[{"value":"Katze"}]}}})")));
    backend.route("POST", QStringLiteral("/translateWebpageAPI/"),
                  FakeReply::json(parse(R"({"result":"https://pages.example/t/1"})")));
    backend.route("POST", api("sendUnknownWords"), FakeReply::withStatus(200));
    backend.route("GET", api("textToSpeech"), FakeReply::bytes("RIFFdata", "audio/wav"));

    Calls<QVLexicalMeaning> meaning;
    manager().getLexicalMeaningForWord("cat", "en", "de", meaning.block(), {});
    Calls<QString> page;
    manager().translateWebPageWithUrlString("https://example.org", "en_GB", "de_DE", page.block(), {});
    Calls<bool> words;
    manager().sendUnknownWords({}, words.block(), {});
    Calls<QByteArray> audio;
    manager().speechObjectForText("Hi", "de_DE", "", "0.9", "", audio.block(), {});
    ASSERT_TRUE(settle(meaning) && settle(page) && settle(words) && settle(audio));
    EXPECT_EQ(meaning.arg<0>().original(), QStringLiteral("cat"));
    EXPECT_EQ(meaning.arg<0>().transcription(), QStringLiteral("kat"));
    EXPECT_EQ(page.arg<0>(), QStringLiteral("https://pages.example/t/1"));
    EXPECT_TRUE(words.arg<0>());
    EXPECT_EQ(audio.arg<0>(), QByteArray("RIFFdata"));
}

TEST_F(QVRequestManagerTest, PictureUploadSendsTheJpegAndReturnsAddressAndLines) {
    backend.route(
        "POST", api("parseImage"),
        FakeReply::json(
            parse(R"({"result":"p/1.jpg","sourceData":["one","two"],"translatedData":["eins","zwei"]})")));
    Calls<QString, QString, QString> success;
    manager().parseImageData("\xff\xd8jpeg", "en_GB", "de_DE", success.block(), {});
    ASSERT_TRUE(settle(success));
    const RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.queryItems,
              (QList<QPair<QString, QString>>{{"device", "APPLE"}, {"platform", "macOS"}}));
    ASSERT_NE(request.part("file"), nullptr);
    EXPECT_EQ(request.part("file")->fileName, QStringLiteral("ProfilePic.jpg"));
    EXPECT_EQ(request.part("file")->contentType, "image/jpeg");
    EXPECT_EQ(request.part("file")->data, QByteArray("\xff\xd8jpeg"));
    for (const char *field : {"from", "to", "platform", "uuid"})
        EXPECT_NE(request.part(QString::fromLatin1(field)), nullptr) << field;
    EXPECT_EQ(request.part("to")->data, "de_DE");
    EXPECT_EQ(success.arg<0>(), backend.url(QStringLiteral("/v2/static/p/1.jpg")).toString());
    EXPECT_EQ(success.arg<1>(), QStringLiteral("one\ntwo"));
    EXPECT_EQ(success.arg<2>(), QStringLiteral("eins\nzwei"));
}

TEST_F(QVRequestManagerTest, BadPictureRepliesFailWithTheirOwnError) {
    const QList<QPair<const char *, const char *>> cases = {
        {"result beside an error", R"({"result":"p/1.jpg","error":"no text"})"},
        {"no result", R"({"sourceData":["x"]})"},
        {"not an object", R"(["p/1.jpg"])"},
    };
    for (const auto &[name, reply] : cases) {
        SCOPED_TRACE(name);
        backend.route("POST", api("parseImage"), FakeReply::bytes(reply, "application/json"));
        ErrorCalls failure;
        int successes = 0;
        manager().parseImageData(
            "jpeg", "en_GB", "de_DE", [&](auto &&...) { ++successes; }, failure.block());
        ASSERT_TRUE(settle(failure));
        EXPECT_EQ(successes, 0);
        EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("com.translator"));
        EXPECT_EQ(failure.arg<0>().code(), 400);
        EXPECT_EQ(failure.arg<0>().localizedDescription(), QStringLiteral("Bad parseImageData"));
    }
}

TEST_F(QVRequestManagerTest, PictureFileFormFailsBeforeSendingOrOnAReplyWithoutAnAddress) {
    const QString picture = home.filePath(QStringLiteral("sign.jpg"));
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xff\xd8jpeg");
    file.close();
    backend.route("POST", api("parseImage"), FakeReply::json(parse(R"({"status":"ok"})")));
    struct Case {
        const char *name;
        QUrl url;
        QString to;
        bool sent;
        bool withError;
    };
    const QList<Case> cases = {
        {"no target language", QUrl::fromLocalFile(picture), QString(), false, false},
        {"missing file", QUrl::fromLocalFile(home.filePath(QStringLiteral("gone.jpg"))), "de_DE", false,
         true},
        {"reply without result", QUrl::fromLocalFile(picture), "de_DE", true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.clearRequests();
        ErrorCalls failure;
        int successes = 0;
        manager().parseImage(
            c.url, QStringLiteral("en_GB"), c.to, [&](const QString &) { ++successes; }, failure.block());
        ASSERT_TRUE(settle(failure));
        EXPECT_EQ(successes, 0);
        EXPECT_EQ(!failure.arg<0>().isNull(), c.withError);
        EXPECT_EQ(backend.requestCount(), c.sent ? 1 : 0);
    }
}

TEST_F(QVRequestManagerTest, PictureFormsSendTheFileAndTheShortFormsTheSettingsPair) {
    write([](platform::Transaction &tx) {
        for (const char *locale : {"en_GB", "de_DE"})
            tx.createOrUpdate(QVLanguageRealm::storeClassName(), {{"localeIdentifier", locale}});
    });
    const auto language = [this](const char *locale) {
        return QVLanguageRealm(
            store.objectForPrimaryKey(QVLanguageRealm::storeClassName(), QString::fromLatin1(locale)));
    };
    ASSERT_FALSE(QVSettingsService::setLanguageFrom(language("de_DE")));
    ASSERT_FALSE(QVSettingsService::setLanguageTo(language("en_GB")));
    EXPECT_EQ(manager().languageFrom(), QStringLiteral("de_DE"));
    EXPECT_EQ(manager().languageTo(), QStringLiteral("en_GB"));
    const QString picture = home.filePath(QStringLiteral("sign.jpg"));
    QFile file(picture);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xff\xd8jpeg");
    file.close();
    backend.route(
        "POST", api("parseImage"),
        FakeReply::json(parse(R"({"result":"p/1.jpg","sourceData":["a"],"translatedData":["b"]})")));

    Calls<QString> explicitPair;
    manager().parseImage(QUrl::fromLocalFile(picture), QStringLiteral("en_GB"), QStringLiteral("fr_FR"),
                         explicitPair.block(), {});
    ASSERT_TRUE(settle(explicitPair));
    RecordedRequest request = backend.lastRequest();
    EXPECT_EQ(request.queryItems, (QList<QPair<QString, QString>>{{"parseImage", "1"}}));
    ASSERT_NE(request.part("file"), nullptr);
    EXPECT_EQ(request.part("file")->data, QByteArray("\xff\xd8jpeg"));
    EXPECT_EQ(request.part("to")->data, "fr_FR");
    EXPECT_EQ(explicitPair.arg<0>(), backend.url(QStringLiteral("/p/1.jpg")).toString());

    Calls<QString> fileForm;
    manager().parseImage(QUrl::fromLocalFile(picture), fileForm.block(), {});
    ASSERT_TRUE(settle(fileForm));
    request = backend.lastRequest();
    EXPECT_EQ(request.part("from")->data, "de_DE");
    EXPECT_EQ(request.part("to")->data, "en_GB");

    Calls<QString, QString, QString> dataForm;
    manager().parseImageData(QByteArray("\xff\xd8jpeg"), dataForm.block(), {});
    ASSERT_TRUE(settle(dataForm));
    request = backend.lastRequest();
    EXPECT_EQ(request.queryItems,
              (QList<QPair<QString, QString>>{{"device", "APPLE"}, {"platform", "macOS"}}));
    EXPECT_EQ(request.part("from")->data, "de_DE");
    EXPECT_EQ(dataForm.arg<2>(), QStringLiteral("b"));
}

TEST_F(QVRequestManagerTest, PictureUploadIsCancelledThroughItsOwnTaskOnly) {
    backend.route("POST", api("parseImage"), FakeReply::json(parse(R"({"result":"p.jpg"})")).withDelay(400));
    ErrorCalls cancelled;
    Calls<QString, QString, QString> other;
    const MFURLSessionTaskPtr task =
        manager().parseImageData("jpeg", "en_GB", "de_DE", {}, cancelled.block());
    manager().parseImageData("jpeg", "en_GB", "de_DE", other.block(), {});
    ASSERT_TRUE(backend.waitForRequests(2));
    manager().cancel(task);
    ASSERT_TRUE(settle(cancelled));
    ASSERT_TRUE(settle(other));
    qvtest::spin(50);
    EXPECT_EQ(cancelled.count, 1);
    EXPECT_EQ(cancelled.arg<0>().code(), -999);
}

TEST_F(QVRequestManagerTest, DocumentConversionUploadsTheFileAsRtfAndReturnsTheBytes) {
    const QString path = home.filePath(QStringLiteral("letter.rtf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1 Hello}");
    file.close();

    struct Case {
        const char *name;
        FakeReply reply;
        bool succeeds;
        qint64 code;
    };
    const QList<Case> cases = {
        {"converted document",
         FakeReply::bytes("PKdocx",
                          "application/vnd.openxmlformats-officedocument.wordprocessingml.document"),
         true, 0},
        {"document type with an error status",
         FakeReply::bytes("PK", "application/vnd.oasis.opendocument.text", 500), false, 500},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", QStringLiteral("/quorvaldeConvertDocument"), c.reply);
        Calls<QByteArray> success;
        ErrorCalls failure;
        manager().convertDocument(QUrl::fromLocalFile(path), QStringLiteral("docx"), success.block(),
                                  failure.block());
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        const RecordedRequest request = backend.lastRequest();
        ASSERT_NE(request.part("file"), nullptr);
        EXPECT_EQ(request.part("file")->fileName, QStringLiteral("File.rtf"));
        EXPECT_EQ(request.part("file")->contentType, "application/rtf");
        EXPECT_EQ(request.part("file")->data, "{\\rtf1 Hello}");
        ASSERT_NE(request.part("to"), nullptr);
        EXPECT_EQ(request.part("to")->data, "docx");
        EXPECT_EQ(success.count, c.succeeds ? 1 : 0);
        if (c.succeeds)
            EXPECT_EQ(success.arg<0>(), QByteArray("PKdocx"));
        else
            EXPECT_EQ(failure.arg<0>().code(), c.code);
    }

    backend.clearRequests();
    ErrorCalls missing;
    manager().convertDocument(QUrl::fromLocalFile(home.filePath("gone.rtf")), "docx", {}, missing.block());
    ASSERT_TRUE(settle(missing));
    EXPECT_FALSE(missing.arg<0>().isNull());
    EXPECT_EQ(backend.requestCount(), 0);
}

TEST_F(QVRequestManagerTest, PictureAddressesFollowTheApiHost) {
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("globe"), QStringLiteral("/v2/globe@2x.png")},
        {QStringLiteral("flags/de"), QStringLiteral("/v2/flags/de@2x.png")},
    };
    for (const auto &[name, path] : cases) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(qvUrlForPatch(name), backend.url(path));
    }
}

// The catalogue holds no user text, so its whole reply is written to the system log before it is used.
TEST_F(QVRequestManagerTest, TheLanguageListReplyIsWrittenToTheSystemLogFirst) {
    QStringList systemLines;
    platform::SystemLog::setSink([&](const QString &line) { systemLines << line; });
    backend.route("GET", api("getLanguages"),
                  FakeReply::json(parse(R"({"result":[{"localeIdentifier":"sv_SE","languageName":"Svenska"}]})")));
    Calls<QVariantList> success;
    ErrorCalls failure;
    manager().getLanguagesSucces(success.block(), failure.block());
    ASSERT_TRUE(settle(success));
    platform::SystemLog::setSink({});
    EXPECT_EQ(failure.count, 0);
    // One line is the reply itself, "result" and all.
    const QStringList replies = systemLines.filter(QStringLiteral("Svenska"));
    ASSERT_EQ(replies.size(), 1);
    EXPECT_TRUE(replies.first().contains(QStringLiteral("result")));
    EXPECT_TRUE(replies.first().contains(QStringLiteral("sv_SE")));
}

TEST_F(QVRequestManagerTest, LanguageDetectionFailsOnANullResultAndPassesAnyOther) {
    const struct {
        const char *reply;
        qint64 code; // 0: success
        QVariant result;
    } cases[] = {
        {R"({"result":null})", QVRequestManager::kDetectionFailedCode, {}},
        {R"({"status":"ok"})", QVRequestManager::kBadReplyCode, {}},
        {R"({"result":"de"})", 0, QStringLiteral("de")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply);
        backend.route("POST", api("translateTextByLocale"), FakeReply::json(parse(c.reply)));
        Calls<QVariant> success;
        ErrorCalls failure;
        manager().detectLanguageForSentences({QStringLiteral("Guten Tag")}, {QStringLiteral("de_DE")},
                                             success.block(), failure.block());
        ASSERT_TRUE(qvtest::waitUntil([&] { return success.count + failure.count > 0; }));
        const QJsonObject body = backend.lastRequest().jsonObject();
        EXPECT_EQ(body.value("sentences").toArray().first().toString(), QStringLiteral("Guten Tag"));
        EXPECT_EQ(body.value("locale").toArray().first().toString(), QStringLiteral("de_DE"));
        if (c.code) {
            ASSERT_EQ(failure.count, 1);
            EXPECT_EQ(failure.arg<0>().domain(), QStringLiteral("com.translator"));
            EXPECT_EQ(failure.arg<0>().code(), c.code);
        } else {
            ASSERT_EQ(success.count, 1);
            EXPECT_EQ(success.arg<0>(), c.result);
        }
    }
}
