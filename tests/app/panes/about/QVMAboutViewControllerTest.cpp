#include "AboutTestSupport.h"

#include "WindowChecks.h"

#include "panes/about/QVMAboutViewController.h"
#include "panes/info/QVMInfoViewController.h"
#include "platform/BackendConfig.h"
#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMUtils.h"

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

TEST_F(AboutPaneTest, AddressesThatAreEmptyOrNotWebHideTheirButtonsAndOpenNothing) {
    OpenedUrls browser([this] { return eventCount(); });
    struct Case {
        const char *name;
        QString address;
    } cases[] = {
        {"empty, before the configuration arrives", ""},
        {"script", "javascript:alert(1)"},
        {"local file", "file:///etc/passwd"},
        {"web address without a host", "https://"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        setRemote({{"telegramURL", c.address}, {"thirdPartyURL", c.address}, {"programSiteUrl", c.address}});
        openPane();
        for (const Link link : {Link::Telegram, Link::ThirdPartyComponents, Link::MainSite}) {
            EXPECT_TRUE(m_pane->linkButton(link)->isHidden());
            m_pane->openLink(link);
        }
        EXPECT_TRUE(browser.opened.isEmpty());
        EXPECT_TRUE(events(QStringLiteral("App info - Click Telegram")).isEmpty());
    }
}

TEST_F(AboutPaneTest, LinksOpenWithTheirEventAndCategoryLegalOnesFallingBackToTheMaker) {
    OpenedUrls browser([this] { return eventCount(); });
    const QString telegram = QStringLiteral("https://t.example.org/quorvalde");
    const QString site = QStringLiteral("http://quorvalde.example.org/");
    struct Case {
        const char *name;
        Link link;
        QUrl opened;
        const char *category; // with the action; none for the home page
        const char *action;
        int eventsBefore; // legal links report after opening, the others before
    } cases[] = {
        {"missing privacy address", Link::PrivacyPolicy, makerPage(QVMAboutViewController::kPrivacyPath),
         "Setting screen", "App info - Click Private Policy", 0},
        {"terms address of another scheme", Link::TermsAndConditions,
         makerPage(QVMAboutViewController::kTermsPath), "Setting screen",
         "App info - Click Terms and Conditions", 0},
        {"telegram", Link::Telegram, QUrl(telegram), "Settings screen", "App info - Click Telegram", 1},
        {"home page", Link::MainSite, QUrl(site), nullptr, nullptr, 0},
    };
    setRemote({{"termsUrl", "file:///etc/passwd"}, {"telegramURL", telegram}, {"programSiteUrl", site}});
    openPane();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        browser.opened.clear();
        browser.eventsBefore.clear();
        analytics->events.clear();
        QPushButton *button = m_pane->linkButton(c.link);
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
    struct Case {
        const char *name;
        FakeReply reply;
        QString site;
        QString line; // empty: no update line
        bool download;
    } cases[] = {
        {"backend failure", FakeReply::withStatus(500), "", "", false},
        {"no notice", FakeReply::json(QJsonObject{{"status", 200}}), "", "", false},
        {"the running version", notice(running, "Now"), "", "", false},
        {"no web site", notice("99.1", "Faster."), "", "Version 99.1 is available. Faster.", false},
        {"markup in the message", notice("99.2", "<b>Bold</b> <a href='file:///x'>y</a>"),
         "https://quorvalde.example.org/download",
         "Version 99.2 is available. <b>Bold</b> <a href='file:///x'>y</a>", true},
    };
    for (const Case &c : cases) {
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
    struct Case {
        const char *name;
        bool registered;
    } cases[] = {{"no form registered", false}, {"form registered", true}};
    const QString storyboard = QString::fromLatin1(QVMAboutViewController::kSupportStoryboard);
    const QString name = QString::fromLatin1(QVMAboutViewController::kSupportController);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openPane();
        if (c.registered)
            QVMInterfaceFactory::shared().registerController<SupportFormStandIn>(storyboard, name);
        QPushButton *support = m_pane->supportButton();
        EXPECT_EQ(support->isEnabled(), c.registered) << "follows registrations as they come";
        EXPECT_EQ(support->toolTip().contains(QStringLiteral("not available")), !c.registered);
        if (c.registered)
            support->click();
        const QList<QVMBaseVC *> shown = m_pane->presentedViewControllers();
        ASSERT_EQ(shown.size(), c.registered ? 1 : 0);
        if (!c.registered)
            continue;
        EXPECT_TRUE(qobject_cast<SupportFormStandIn *>(shown.first()));
        EXPECT_TRUE(shown.first()->view()->window()->isModal());
        EXPECT_EQ(events(QString::fromLatin1(QVMAboutViewController::kSupportAction)).size(), 1);
    }
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

#include "QVMAboutViewControllerTest.moc"
