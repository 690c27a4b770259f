#include "SettingsTestSupport.h"
#include "WindowChecks.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/style/QVMAppearance.h"

#include "core/models/QVAuthProfile.h"
#include "core/settings/QVAuthService.h"
#include "panes/settings/QVMAuthPreviewViewController.h"
#include "panes/settings/QVMErrorLocalization.h"
#include "services/QVAuthRequestManager.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace settingstest;
using qvtest::FakeReply;
using Face = QVMAuthPreviewViewController::Face;

namespace {

const QString kLogin = QStringLiteral("/v2/api/auth/login");
const QString kRegistration = QStringLiteral("/v2/api/auth/registration");
const QString kUser = QStringLiteral("/v2/api/user");
const QString kSubscribe = QStringLiteral("/api/subscribedUsers/addUser");

FakeReply data(const char *json) {
    return FakeReply::json(QJsonObject{{"data", QJsonDocument::fromJson(json).object()}});
}

class AccountPaneTest : public SettingsTest {
protected:
    QVMAuthPreviewViewController *pane() {
        if (!m_pane) {
            m_pane = new QVMAuthPreviewViewController;
            m_pane->view()->resize(480, 420);
            m_pane->view()->show();
        }
        return m_pane;
    }
    void TearDown() override {
        delete m_pane;
        SettingsTest::TearDown();
    }
    void fill(const QString &name, const QString &email, const QString &password) {
        pane()->usernameTextField()->setText(name);
        pane()->emailTextField()->setText(email);
        pane()->passwordTextField()->setText(password);
    }
    void signedIn(const char *name, bool news = false) {
        import(QVAuthProfile::storeClassName(), QVariantMap{{"id", 7},
                                                            {"username", name},
                                                            {"email", "ann@example.org"},
                                                            { "isSubscribedToNews",
                                                              news }});
        QVAuthService::setAuthToken(QStringLiteral("tok-1"));
    }
    QPointer<QVMAuthPreviewViewController> m_pane;
};

} // namespace

TEST_F(AccountPaneTest, FormThatDoesNotPassSaysWhereAndSendsNothing) {
    backend.route("POST", kLogin, data(R"({"user": {"id": 3, "username": "cy"}, "bearerToken": "t"})"));
    backend.route("POST", kRegistration,
                  data(R"({"user": {"id": 3, "username": "cy"}, "bearerToken": "t"})"));
    struct Case {
        const char *name;
        Face face;
        QString user, email, password;
        bool sent;
        bool nameError, emailError, passwordError;
    } cases[] = {
        {"4-character password", Face::SignIn, "", "ann@example.org", "abcd", false, false, false, true},
        {"bad e-mail", Face::SignIn, "", "ann@example", "abcde", false, false, true, false},
        {"empty name on sign-up", Face::SignUp, "", "ann@example.org", "abcde", false, true, false, false},
        {"hidden name ignored on sign-in", Face::SignIn, "", "ann@example.org", "abcde", true, false, false,
         false},
        {"sign-up with a name", Face::SignUp, "Ann", "ann@example.org", "abcde", true, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVAuthRequestManager::clearUserInfo();
        delete m_pane;
        backend.clearRequests();
        if (c.face == Face::SignUp)
            pane()->createAccountButton()->click();
        fill(c.user, c.email, c.password);
        (c.face == Face::SignUp ? pane()->signUpButton() : pane()->signInButton())->click();
        EXPECT_EQ(pane()->usernameError()->isVisibleTo(pane()->view()), c.nameError);
        EXPECT_EQ(pane()->emailError()->isVisibleTo(pane()->view()), c.emailError);
        EXPECT_EQ(pane()->passwordError()->isVisibleTo(pane()->view()), c.passwordError);
        if (c.sent) {
            ASSERT_TRUE(backend.waitForRequests(1));
            ASSERT_TRUE(qvtest::waitUntil([&] { return pane()->face() == Face::SignedIn; }));
        } else {
            qvtest::spin(20);
            EXPECT_EQ(backend.requestCount(), 0);
        }
        EXPECT_TRUE(alerts->shown.isEmpty());
    }
    EXPECT_EQ(events(QStringLiteral("Signin")).size(), 1);
    EXPECT_EQ(events(QStringLiteral("Signup")).size(), 1);
    EXPECT_EQ(pane()->passwordTextField()->echoMode(), QLineEdit::Password);
}

TEST_F(AccountPaneTest, FailuresSayWhatWentWrongAndLeaveTheFace) {
    struct Case {
        const char *name;
        FakeReply reply;
        bool closedPort;
        const char *message;
    } cases[] = {
        {"closed port", FakeReply::withStatus(200), true, "No connection to the server"},
        {"refused", FakeReply::json({{"err", "Wrong password"}}, 401), false, "Wrong user name or password."},
        {"forbidden", FakeReply::json({{"err", "Blocked"}}, 403), false, "Wrong user name or password."},
        {"server error", FakeReply::json({{"err", "Try again later"}}, 500), false, "Try again later"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        alerts->shown.clear();
        backend.route("POST", kLogin, c.reply);
        std::unique_ptr<qvtest::ScopedBackendHosts> closed;
        if (c.closedPort)
            closed = std::make_unique<qvtest::ScopedBackendHosts>(QUrl(QStringLiteral("http://127.0.0.1:9")));
        fill({}, QStringLiteral("ann@example.org"), QStringLiteral("secret"));
        pane()->signInButton()->click();
        // No second request while the first runs.
        EXPECT_TRUE(pane()->isBusy());
        EXPECT_FALSE(pane()->signInButton()->isEnabled());
        EXPECT_FALSE(pane()->createAccountButton()->isEnabled());
        ASSERT_TRUE(qvtest::waitUntil([&] { return !pane()->isBusy(); }, 10000));
        EXPECT_TRUE(pane()->signInButton()->isEnabled());
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_EQ(alerts->shown.first().message, QString::fromLatin1(c.message));
        EXPECT_EQ(pane()->face(), Face::SignIn);
        EXPECT_FALSE(events(QStringLiteral("Account - Quorvalde account - Error Alert")).isEmpty());
    }
    EXPECT_EQ(QVMErrorLocalization::localizedDescriptionWithType(platform::Error(), 0),
              QStringLiteral("The data could not be loaded. Please try again."));
}

TEST_F(AccountPaneTest, SignUpSendsTheLocaleOfTheInterfaceLanguage) {
    backend.route("POST", kRegistration,
                  data(R"({"user": {"id": 3, "username": "cy"}, "bearerToken": "t"})"));
    struct Case {
        const char *name;
        bool withRecord;
        const char *locale;
    } cases[] = {{"no language record", false, "de"}, {"German record", true, "de_DE"}};
    DJLocalizationSystem::shared().setLanguage(QStringLiteral("de"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.withRecord)
            write([&](platform::Transaction &tx) { tx.remove(language(QStringLiteral("de_DE"))); });
        else
            addLanguage("de_DE", "German", "de", {});
        QVAuthRequestManager::clearUserInfo();
        delete m_pane;
        backend.clearRequests();
        pane()->createAccountButton()->click();
        fill(QStringLiteral("Ann"), QStringLiteral("ann@example.org"), QStringLiteral("secret"));
        pane()->signUpButton()->click();
        ASSERT_TRUE(backend.waitForRequests("POST", kRegistration, 1));
        // The signed-in face refreshes the profile at once, so the last request may be that one.
        const QVariantMap body =
            backend.requests("POST", kRegistration).constLast().jsonObject().toVariantMap();
        EXPECT_EQ(body.value("locale").toString(), QString::fromLatin1(c.locale));
        qvtest::waitUntil([&] { return !pane()->isBusy(); });
    }
}

TEST_F(AccountPaneTest, SignedInFaceShowsTheNameAndSignsOut) {
    backend.route("GET", kUser, data(R"({"id": 7, "username": "", "email": "ann@example.org"})"));
    backend.route("POST", QStringLiteral("/v2/api/auth/logout"), data(R"({})"));
    signedIn("Ann");
    EXPECT_EQ(pane()->face(), Face::SignedIn);
    // The refresh brings an empty name: the heading offers to sign up.
    ASSERT_TRUE(
        qvtest::waitUntil([&] { return pane()->usernameLabel()->text() == QStringLiteral("Sign up"); }));
    EXPECT_TRUE(pane()->logoutButton()->isVisibleTo(pane()->view()));
    EXPECT_FALSE(pane()->emailTextField()->isVisibleTo(pane()->view()));
    pane()->logoutButton()->click();
    ASSERT_TRUE(qvtest::waitUntil([&] { return pane()->face() == Face::SignIn; }));
    EXPECT_EQ(pane()->usernameLabel()->text(), QStringLiteral("Quorvalde account"));
    EXPECT_EQ(events(QStringLiteral("Logout")).size(), 1);
}

TEST_F(AccountPaneTest, LinksSendTheEventOfTheFaceAndOpenInTheBrowser) {
    UrlCatcher browser;
    const QString terms = QStringLiteral("https://example.org/terms");
    const QString privacy = QStringLiteral("https://example.org/privacy");
    QVTranslateSettings record = QVSettingsService::defaultSettings();
    write([&](platform::Transaction &tx) {
        record.setRemoteSettings(
            tx, QVRemoteSettings(
                    tx.create(QVRemoteSettings::storeClassName(),
                              {{"admobBannerId", "test"}, {"termsUrl", terms}, {"privacyUrl", privacy}})));
    });
    struct Case {
        const char *name;
        bool signUp;
        QString link;
        const char *action;
    } cases[] = {
        {"terms, sign-in", false, terms, "Account - Quorvalde account - Click Terms and Conditions"},
        {"privacy, sign-up", true, privacy, "Account - Creating account - Click Private Policy"},
        {"terms, sign-up", true, terms, "Account - Creating account - Click Terms and Conditions"},
    };
    const QString line = QVMAuthPreviewViewController::acceptTermsText(terms, privacy, Qt::red);
    EXPECT_TRUE(line.contains(QStringLiteral("<a href=\"%1\"").arg(terms)));
    EXPECT_TRUE(line.contains(QStringLiteral("<a href=\"%1\"").arg(privacy)));
    // An empty or non-web address leaves the title as plain text.
    for (const QString &bad : {QString(), QStringLiteral(" "), QStringLiteral("javascript:alert(1)")}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_FALSE(QVMAuthPreviewViewController::acceptTermsText(bad, bad, Qt::red).contains("<a "));
    }
    pane();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        analytics->events.clear();
        c.signUp ? pane()->switchToSignUp() : pane()->switchToSignIn();
        analytics->events.clear();
        pane()->termsLinkActivated(c.link);
        ASSERT_EQ(analytics->events.size(), 1);
        EXPECT_EQ(analytics->events.first().action, QString::fromLatin1(c.action));
        EXPECT_EQ(browser.opened.last(), QUrl(c.link));
    }
    EXPECT_TRUE(pane()->termsLabel()->text().contains(terms));
    pane()->onRestore();
    ASSERT_EQ(browser.opened.size(), 4);
    EXPECT_EQ(browser.opened.last().path(), QStringLiteral("/quorvaldeBillingCP/auth/forgot-password"));
    EXPECT_EQ(browser.opened.last().scheme(), QStringLiteral("https"));
    // The last face was the sign-up one.
    EXPECT_EQ(events(QStringLiteral("Account - Creating account - Restore Password")).size(), 1);
}

TEST_F(AccountPaneTest, NewsBoxFollowsTheServerAndGoesBackOnFailure) {
    backend.route("GET", kUser, data(R"({"id": 7, "username": "Ann", "email": "ann@example.org"})"));
    signedIn("Ann");
    qvtest::waitUntil([&] { return !pane()->isBusy(); });
    struct Case {
        const char *name;
        FakeReply reply;
        int status;
        bool checked;
    } cases[] = {
        {"server error", FakeReply::json({{"err", "Down"}}, 500), 2, false},
        {"subscribed", FakeReply::json({{"status", 2}}), 2, true},
        {"unsubscribed", FakeReply::json({{"status", 1}}), 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", kSubscribe, c.reply);
        backend.clearRequests();
        pane()->newsCheckBox()->click();
        EXPECT_FALSE(pane()->newsCheckBox()->isEnabled());
        ASSERT_TRUE(backend.waitForRequests("POST", kSubscribe, 1));
        ASSERT_TRUE(qvtest::waitUntil([&] { return !pane()->isBusy(); }));
        const QVariantMap body = backend.requests("POST", kSubscribe).constLast().jsonObject().toVariantMap();
        EXPECT_EQ(body.value("status").toInt(), c.status);
        EXPECT_EQ(body.value("email").toString(), QStringLiteral("ann@example.org"));
        EXPECT_EQ(body.value("appKey").toString(),
                  QStringLiteral("3c9e1a7f5b2d8046ce13f97a2b5d0e8461c7fa93"));
        EXPECT_EQ(pane()->newsCheckBox()->isChecked(), c.checked);
        EXPECT_EQ(QVAuthService::authProfile().isSubscribedToNews(), c.checked);
    }
}

TEST_F(AccountPaneTest, ErrorMessagesReadInBothSchemesAndAfterALiveSwitch) {
    QVMAppearance::install(); // as the main window does at start
    for (const auto first : {QVMStyleService::ColorScheme::Light, QVMStyleService::ColorScheme::Dark}) {
        SCOPED_TRACE(int(first));
        QVMStyleService::shared().setDesktopColorScheme(first);
        qvtest::spin(5);
        pane()->switchToSignUp();
        fill(QString(), QStringLiteral("not an address"), QStringLiteral("1"));
        ASSERT_FALSE(pane()->isDataValid());
        ASSERT_TRUE(pane()->emailError()->isVisibleTo(pane()->view()));
        uitest::expectReadableInBothPalettes(pane()->view());
    }
}

TEST_F(AccountPaneTest, ForgotPasswordWithoutABrowserSaysSoWithTheAddress) {
    QVMLinkOpener::setOpener([](const QUrl &) { return false; });
    pane()->switchToSignIn();
    pane()->onRestore();
    ASSERT_EQ(alerts->shown.size(), 1);
    EXPECT_TRUE(
        alerts->shown.first().message.endsWith(QStringLiteral("/quorvaldeBillingCP/auth/forgot-password")))
        << alerts->shown.first().message.toStdString();
    QVMLinkOpener::setOpener({});
}
