#include "AboutTestSupport.h"

#include "WindowChecks.h"

#include "panes/about/QVMAboutViewController.h"
#include "panes/info/QVMInfoViewController.h"
#include "platform/BackendConfig.h"
#include "services/graphics/QVMStyleService.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"

#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrlQuery>

using namespace abouttest;
using qvtest::FakeReply;
using Link = QVMAboutViewController::Link;

namespace {

const QString kUpdate = QStringLiteral("/api/versionUpdate/getVersionUpdateForApp");

// Stands in for the support form, which its own feature registers.
class SupportFormStandIn : public QVMBaseVC {
    Q_OBJECT
public:
    Q_INVOKABLE explicit SupportFormStandIn(QObject *parent = nullptr) : QVMBaseVC(parent) {}
};

QUrl makerPage(const char *path) {
    QUrl url = platform::BackendConfig::makerDomain();
    url.setPath(QString::fromLatin1(path));
    return url;
}

class AboutPaneTest : public AboutTest {
protected:
    void SetUp() override {
        AboutTest::SetUp();
        backend.route("POST", kUpdate, FakeReply::json(QJsonObject{{"status", 200}}));
    }
    void TearDown() override {
        delete m_pane;
        QVMInterfaceFactory::shared().removeController(
            QString::fromLatin1(QVMAboutViewController::kSupportStoryboard),
            QString::fromLatin1(QVMAboutViewController::kSupportController));
        AboutTest::TearDown();
    }
    // A new pane, shown, once its update notice has been answered.
    QVMAboutViewController *openPane() {
        delete m_pane;
        m_pane = new QVMAboutViewController;
        QSignalSpy answered(m_pane.data(), &QVMAboutViewController::updateNoticeAnswered);
        m_pane->view()->resize(640, 480);
        m_pane->view()->show();
        EXPECT_TRUE(qvtest::waitUntil([&] { return !answered.isEmpty(); }));
        return m_pane;
    }
    int eventCount() const { return int(analytics->events.size()); }
    QPointer<QVMAboutViewController> m_pane;
};

} // namespace

// Every link reads its address through one check, so each refused kind of address is tried on one link.
TEST_F(AboutPaneTest, EveryLinkOpensOnlyAWebAddressWithItsEventOrHidesItsButton) {
    OpenedUrls browser([this] { return eventCount(); });
    const struct {
        const char *name;
        Link link;
        const char *field, *address;
        QUrl opened = {};                                  // empty: the button is hidden and nothing opens
        const char *category = nullptr, *action = nullptr; // none for the home page
        int eventsBefore = 0; // legal links report after opening, the others before
    } cases[] = {
        {"empty, before the configuration arrives", Link::Telegram, "telegramURL", ""},
        {"script", Link::ThirdPartyComponents, "thirdPartyURL", "javascript:alert(1)"},
        {"local file", Link::MainSite, "programSiteUrl", "file:///etc/passwd"},
        {"web address without a host", Link::Telegram, "telegramURL", "https://"},
        {"missing privacy address", Link::PrivacyPolicy, "privacyUrl", "",
         makerPage(QVMAboutViewController::kPrivacyPath), "Setting screen",
         "App info - Click Private Policy"},
        {"terms address of another scheme", Link::TermsAndConditions, "termsUrl", "file:///etc/passwd",
         makerPage(QVMAboutViewController::kTermsPath), "Setting screen",
         "App info - Click Terms and Conditions"},
        {"telegram", Link::Telegram, "telegramURL", "https://t.example.org/quorvalde",
         QUrl(QStringLiteral("https://t.example.org/quorvalde")), "Settings screen",
         "App info - Click Telegram", 1},
        {"home page", Link::MainSite, "programSiteUrl", "http://quorvalde.example.org/",
         QUrl(QStringLiteral("http://quorvalde.example.org/"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        setRemote({{QString::fromLatin1(c.field), QString::fromLatin1(c.address)}});
        openPane();
        browser.opened.clear();
        browser.eventsBefore.clear();
        analytics->events.clear();
        QPushButton *button = m_pane->linkButton(c.link);
        if (c.opened.isEmpty()) {
            EXPECT_TRUE(button->isHidden());
            m_pane->openLink(c.link);
            EXPECT_TRUE(browser.opened.isEmpty());
            EXPECT_TRUE(analytics->events.isEmpty());
            continue;
        }
        ASSERT_TRUE(button->isVisibleTo(m_pane->view()));
        EXPECT_TRUE(button->accessibleName().contains(button->text()));
        button->click();
        ASSERT_EQ(browser.opened, QList<QUrl>{c.opened});
        EXPECT_EQ(browser.eventsBefore, QList<int>{c.eventsBefore});
        ASSERT_EQ(analytics->events.size(), c.action ? 1 : 0);
        if (c.action) {
            EXPECT_EQ(analytics->events.first().category, QString::fromLatin1(c.category));
            EXPECT_EQ(analytics->events.first().action, QString::fromLatin1(c.action));
        }
    }
}

TEST_F(AboutPaneTest, VersionLineIsSetOnceFromItsFormat) {
    const QString expected = QStringLiteral("Version ") + QVMUtils::getAppVersionFromBundle();
    ASSERT_NE(expected, QStringLiteral("Version "));
    for (int load = 1; load <= 2; ++load) {
        SCOPED_TRACE(load);
        openPane();
        m_pane->view()->hide();
        m_pane->view()->show();
        EXPECT_EQ(m_pane->versionLabel()->text(), expected);
    }
}

TEST_F(AboutPaneTest, UpdateLineShowsOnlyANewerNoticeAndItsMessageAsTyped) {
    const QString running = QVMUtils::getAppVersionFromBundle();
    const auto notice = [](const QString &version, const QString &message) {
        return FakeReply::json(
            QJsonObject{{"versionUpdateData",
                         QJsonObject{{"version", version}, {"description", ""}, {"message", message}}}});
    };
    const struct {
        const char *name;
        FakeReply reply;
        QString line = {}; // empty: no update line
        const char *site = "";
        bool download = false;
    } cases[] = {
        {"backend failure", FakeReply::withStatus(500)},
        {"no notice", FakeReply::json(QJsonObject{{"status", 200}})},
        {"the running version", notice(running, "Now")},
        {"no web site", notice("99.1", "Faster."), "Version 99.1 is available. Faster."},
        {"markup in the message", notice("99.2", "<b>Bold</b> <a href='file:///x'>y</a>"),
         "Version 99.2 is available. <b>Bold</b> <a href='file:///x'>y</a>",
         "https://quorvalde.example.org/download", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        backend.route("POST", kUpdate, c.reply);
        setRemote({{"programSiteUrl", c.site}});
        openPane();
        EXPECT_EQ(m_pane->updateRow()->isVisibleTo(m_pane->view()), !c.line.isEmpty());
        if (c.line.isEmpty())
            continue;
        EXPECT_EQ(m_pane->updateLabel()->textFormat(), Qt::PlainText);
        EXPECT_EQ(m_pane->updateLabel()->text(), c.line);
        EXPECT_EQ(m_pane->updateButton()->isVisibleTo(m_pane->view()), c.download);
    }
    EXPECT_EQ(loggedLines().filter(QStringLiteral("[about] update notice failed")).size(), 1);
}

TEST_F(AboutPaneTest, ShareOffersTheHomePageAsALinkOrInAPercentEncodedMail) {
    OpenedUrls opened([this] { return eventCount(); });
    openPane();
    const QUrl home = QVMAboutViewController::sharedAddress();
    ASSERT_TRUE(home.isValid());
    const QList<QAction *> actions = m_pane->shareMenu()->actions();
    ASSERT_EQ(actions.size(), 2);
    QApplication::clipboard()->clear();
    actions.at(0)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), home.toString());
    EXPECT_TRUE(opened.opened.isEmpty());
    actions.at(1)->trigger();
    ASSERT_EQ(opened.opened.size(), 1);
    const QUrl mail = opened.opened.first();
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(QUrlQuery(mail).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), home.toString());
    EXPECT_TRUE(mail.toEncoded().contains("body=http%3A%2F%2F")) << mail.toEncoded().constData();
    // An address carrying '&' or '=' cannot add fields to the mail.
    const QUrl tricky =
        QVMAboutViewController::mailtoForAddress(QUrl(QStringLiteral("https://a.example/?x=1&to=b@c")));
    EXPECT_EQ(QUrlQuery(tricky).queryItems().size(), 1);
}

TEST_F(AboutPaneTest, ContactSupportOpensTheRegisteredFormModallyOrIsDisabledSayingWhy) {
    openPane();
    QPushButton *support = m_pane->supportButton();
    EXPECT_FALSE(support->isEnabled()) << "no form registered";
    EXPECT_TRUE(support->toolTip().contains(QStringLiteral("not available")));
    QVMInterfaceFactory::shared().registerController<SupportFormStandIn>(
        QString::fromLatin1(QVMAboutViewController::kSupportStoryboard),
        QString::fromLatin1(QVMAboutViewController::kSupportController));
    ASSERT_TRUE(support->isEnabled()) << "follows registrations as they come";
    EXPECT_FALSE(support->toolTip().contains(QStringLiteral("not available")));
    support->click();
    const QList<QVMBaseVC *> shown = m_pane->presentedViewControllers();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(qobject_cast<SupportFormStandIn *>(shown.first()));
    EXPECT_TRUE(shown.first()->view()->window()->isModal());
    EXPECT_EQ(events(QString::fromLatin1(QVMAboutViewController::kSupportAction)).size(), 1);
}

TEST_F(AboutPaneTest, SettingsWindowShowsBothTabsNamedAndReadable) {
    setRemote({{"telegramURL", "https://t.example.org/q"}, {"programSiteUrl", "https://example.org/"}});
    openSettings(4);
    QVMSettingsController *tabs = settings->contentViewController();
    ASSERT_TRUE(tabs);
    auto *about = qobject_cast<QVMAboutViewController *>(tabs->paneForTab(4));
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->feedbackButton()->isHidden()) << "no application store on Linux";
    uitest::expectEveryControlNamed(about->view());
    uitest::expectReadableInBothPalettes(about->view());
    tabs->selectTab(3);
    EXPECT_TRUE(qobject_cast<QVMInfoViewController *>(tabs->paneForTab(3)));
}

TEST_F(AboutPaneTest, IconsTakeTheTextColourOfTheSchemeAfterALiveSwitch) {
    openPane();
    const auto inkOf = [](const QPushButton *button) {
        const QImage icon = button->icon().pixmap(button->iconSize()).toImage();
        for (int y = 0; y < icon.height(); ++y)
            for (int x = 0; x < icon.width(); ++x)
                if (icon.pixelColor(x, y).alpha() == 255)
                    return icon.pixelColor(x, y).rgb();
        return QColor(Qt::transparent).rgba();
    };
    for (const auto scheme : {QVMStyleService::ColorScheme::Dark, QVMStyleService::ColorScheme::Light,
                              QVMStyleService::ColorScheme::Dark}) {
        SCOPED_TRACE(int(scheme));
        QVMStyleService::shared().setDesktopColorScheme(scheme);
        qvtest::spin(10);
        const QRgb text = m_pane->view()->palette().color(QPalette::ButtonText).rgb();
        for (QPushButton *button : {m_pane->shareButton(), m_pane->supportButton()})
            EXPECT_EQ(inkOf(button), text) << button->accessibleName().toStdString();
    }
    QVMStyleService::shared().setDesktopColorScheme(QVMStyleService::ColorScheme::NoPreference);
}

TEST_F(AboutPaneTest, AnAddressNothingOpensIsSaidWithTheAddressToCopy) {
    QVMLinkOpener::setOpener([](const QUrl &) { return false; });
    setRemote({{"privacyUrl", "https://example.org/privacy"}});
    openPane();
    const struct {
        const char *what;
        std::function<void()> act;
        QString offered;
    } cases[] = {
        {"privacy policy", [this] { m_pane->openLink(Link::PrivacyPolicy); },
         QStringLiteral("https://example.org/privacy")},
        {"send by e-mail", [this] { m_pane->onSendByEmail(); },
         QVMAboutViewController::sharedAddress().toString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        alerts->shown.clear();
        c.act();
        ASSERT_EQ(alerts->shown.size(), 1);
        EXPECT_TRUE(alerts->shown.first().message.endsWith(c.offered))
            << alerts->shown.first().message.toStdString();
    }
    QVMLinkOpener::setOpener({});
}

#include "QVMAboutViewControllerTest.moc"
