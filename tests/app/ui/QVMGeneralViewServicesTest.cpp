// The main road with the application's own services: the general API client
// against a loopback backend.
#include "GeneralViewTestSupport.h"
#include "app/services/OnlineServiceTest.h"

#include "core/settings/QVAuthService.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QToolButton>

using namespace uitest;

namespace {

class GeneralViewServicesTest : public GeneralViewFixture<OnlineServiceTest> {
protected:
    void SetUp() override {
        GeneralViewFixture<OnlineServiceTest>::SetUp();
        QVMGeneralServices::shared().setOnline(nullptr);
    }
    void routeTranslation(const char *json) {
        backend.route("POST", QStringLiteral("/v2/api/v3/translate"),
                      qvtest::FakeReply::json(QJsonDocument::fromJson(json).object()));
    }
    QJsonObject lastBody() const { return backend.lastRequest().jsonObject(); }
};

} // namespace

TEST_F(GeneralViewServicesTest, TypedTextAndReturnTranslateThroughTheBackendIntoTheHistory) {
    routeTranslation(R"({"result":["Hallo","Welt"],"from":"en","translator":"engine-b"})");
    defaults().setBool(true, QString::fromLatin1(QVMGeneralViewController::kTranslateByEnterSetting));
    openWindow();
    type(QStringLiteral("Hello\nWorld"));
    general->fromTranslateTextView()->moveCursor(QTextCursor::End);
    press(general->fromTranslateTextView(), Qt::Key_Return);
    EXPECT_TRUE(general->isTranslating());
    ASSERT_TRUE(qvtest::waitUntil([&] { return !history().isEmpty(); }));
    ASSERT_TRUE(rendered());

    const QJsonObject body = lastBody();
    EXPECT_EQ(body.value("data").toArray(), QJsonArray({"Hello", "World"}));
    EXPECT_EQ(body.value("from").toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(body.value("to").toString(), QStringLiteral("de_DE"));
    EXPECT_EQ(resultText(), QStringLiteral("Hallo\nWelt"));
    EXPECT_FALSE(general->isTranslating());
    const QVTranslationRealm record = history().at(0);
    EXPECT_EQ(record.originalText(), QStringLiteral("Hello\nWorld"));
    EXPECT_EQ(record.translatedText(), QStringLiteral("Hallo\nWelt"));
    EXPECT_EQ(record.translationViaCompany(), QStringLiteral("engine-b"));
    EXPECT_EQ(record.languageTo().localeIdentifier(), QStringLiteral("de_DE"));
    EXPECT_EQ(general->fromTranslateTextView()->toPlainText(), QStringLiteral("Hello\nWorld"));
}

TEST_F(GeneralViewServicesTest, APasteWithAutomaticDetectionTakesTheDetectedLanguage) {
    routeTranslation(R"({"result":["Guten Tag"],"from":"fr"})");
    setPair(QStringLiteral("auto-detection"), QStringLiteral("de_DE"));
    openWindow();
    QGuiApplication::clipboard()->setText(QStringLiteral("Bonjour"));
    general->fromTranslateTextView()->paste();
    ASSERT_TRUE(qvtest::waitUntil([&] { return !history().isEmpty(); }));
    EXPECT_EQ(lastBody().value("from").toString(), QString());
    EXPECT_EQ(history().at(0).languageFrom().localeIdentifier(), QStringLiteral("fr_FR"));
    EXPECT_EQ(QVSettingsService::languageFrom(), QStringLiteral("fr_FR"));
    EXPECT_TRUE(window->fromLanguageButton()->text().startsWith(QStringLiteral("French ")));
}

TEST_F(GeneralViewServicesTest, ABackendErrorIsShownAndNothingIsStored) {
    struct Case {
        const char *name;
        qvtest::FakeReply reply;
    } cases[] = {
        {"server error", qvtest::FakeReply::withStatus(500)},
        {"reply without a translation", qvtest::FakeReply::json(QJsonObject{{"status", "ok"}})},
    };
    openWindow();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        backend.route("POST", QStringLiteral("/v2/api/v3/translate"), c.reply);
        advance(5000);
        type(QStringLiteral("Hello"));
        general->translateOperation();
        ASSERT_TRUE(qvtest::waitUntil([&] { return !alerts->shown.isEmpty(); }));
        EXPECT_FALSE(alerts->shown.at(0).message.isEmpty());
        EXPECT_FALSE(general->isTranslating());
        EXPECT_TRUE(history().isEmpty());
        EXPECT_EQ(analytics->withAction(QStringLiteral("Translate Error")).size(), 1);
        analytics->events.clear();
    }
}

TEST_F(GeneralViewServicesTest, ASignedInUserHasTheFavouritesFetchedWhenTheViewLoads) {
    backend.route("GET", QStringLiteral("/v2/api/user/favorites"),
                  qvtest::FakeReply::json(QJsonObject{{"data", QJsonObject{{"favorites", QJsonArray()}}}}));
    QVAuthService::setAuthToken(QStringLiteral("account-token"));
    openWindow();
    ASSERT_TRUE(qvtest::waitUntil(
        [&] { return backend.hitCount("GET", QStringLiteral("/v2/api/user/favorites")) == 1; }));
    const qvtest::RecordedRequest request =
        backend.requests("GET", QStringLiteral("/v2/api/user/favorites")).at(0);
    EXPECT_EQ(request.queryItems.value(0), qMakePair(QStringLiteral("limit"), QStringLiteral("1000")));
    EXPECT_EQ(request.queryItems.value(1), qMakePair(QStringLiteral("time"), QStringLiteral("0")));
    QVAuthService::clearAuthToken();
    delete window;
    window = nullptr;

    // Nobody signed in: nothing is fetched.
    openWindow();
    qvtest::spin(50);
    EXPECT_EQ(backend.hitCount("GET", QStringLiteral("/v2/api/user/favorites")), 1);
}
