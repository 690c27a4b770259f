#include "app/ui/GeneralViewTestSupport.h"
#include "app/ui/TabWalk.h"
#include "app/ui/WindowChecks.h"

#include "panes/web/QVMWebPageController.h"
#include "platform/BackendConfig.h"
#include "support/FakeBackend.h"
#include "ui/controls/QVMWebView.h"
#include "ui/foundation/QVMInterfaceFactory.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSplitter>
#include <QTcpServer>
#include <QTcpSocket>

using namespace uitest;
using qvtest::FakeReply;

namespace {

QByteArray page(const char *title, int height) {
    return QStringLiteral("<html><head><title>%1</title></head><body style=\"margin:0\">"
                          "<div style=\"width:600px;height:%2px\">%1</div></body></html>")
        .arg(QString::fromLatin1(title))
        .arg(height)
        .toUtf8();
}

} // namespace

class WebWindowTest : public GeneralViewFixture<ModelStoreTest> {
protected:
    void SetUp() override {
        GeneralViewFixture<ModelStoreTest>::SetUp();
        setPair(QStringLiteral("en_GB"), QStringLiteral("de_DE"));
        platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
        backend.route("GET", "/source", FakeReply::bytes(page("Source", 3000), "text/html"));
        backend.route("GET", "/translated", FakeReply::bytes(page("Quelle", 2000), "text/html"));
        answerWith(backend.url(QStringLiteral("/translated")).toString());
    }
    void TearDown() override {
        delete web;
        platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
        GeneralViewFixture<ModelStoreTest>::TearDown();
    }
    void answerWith(const QString &result) {
        backend.route("POST", "/translateWebpageAPI/", FakeReply::jsonMap({{"result", result}}));
    }
    QVMWebPageController *openWeb() {
        web = new QVMWebPageController;
        web->view()->show();
        return web;
    }
    // Loads the source page and waits until the translation request has been answered.
    bool loadSource() {
        QSignalSpy answered(web.data(), &QVMWebPageController::translationAnswered);
        web->addressField()->setText(backend.url(QStringLiteral("/source")).toString());
        web->translate();
        return qvtest::waitUntil([&] { return !answered.isEmpty(); }, 15000);
    }
    int pageRequests() const { return backend.hitCount("POST", QStringLiteral("/translateWebpageAPI/")); }

    qvtest::FakeBackend backend;
    QPointer<QVMWebPageController> web;
};

TEST_F(WebWindowTest, AddressesThatAreNotWebAddressesAreRefused) {
    openWeb();
    const QList<QPair<const char *, QString>> cases = {
        {"empty", QString()},
        {"file", QStringLiteral("file:///etc/passwd")},
        {"ftp", QStringLiteral("ftp://127.0.0.1/x")},
        {"script", QStringLiteral("javascript:alert(1)")},
    };
    QSignalSpy started(web->fromWebView(), &QWebEngineView::loadStarted);
    for (const auto &[name, address] : cases) {
        SCOPED_TRACE(name);
        web->addressField()->setText(address);
        press(web->addressField(), Qt::Key_Return);
        EXPECT_EQ(web->errorText(), QString::fromLatin1(QVMWebPageController::kBadAddress));
    }
    qvtest::spin(50);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(pageRequests(), 0);
}

TEST_F(WebWindowTest, ReplyWithoutAUsableAddressShowsTheErrorAndStopsTheSpinner) {
    const QList<QPair<const char *, FakeReply>> cases = {
        {"no result", FakeReply::jsonMap({{"status", "ok"}})},
        {"server error", FakeReply::withStatus(500)},
        {"local file", FakeReply::jsonMap({{"result", "file:///etc/passwd"}})},
    };
    for (const auto &[name, reply] : cases) {
        SCOPED_TRACE(name);
        backend.route("POST", "/translateWebpageAPI/", reply);
        openWeb();
        ASSERT_TRUE(loadSource());
        EXPECT_FALSE(web->errorText().isEmpty());
        EXPECT_FALSE(web->isLoading(false));
        EXPECT_TRUE(web->toWebView()->url().isEmpty());
        delete web;
    }
}

TEST_F(WebWindowTest, SourcePageIsTranslatedAndShownBesideIt) {
    openWeb();
    QSignalSpy shown(web.data(), &QVMWebPageController::pageShown);
    ASSERT_TRUE(loadSource());
    ASSERT_TRUE(qvtest::waitUntil([&] { return shown.count() >= 2; }, 15000));
    EXPECT_TRUE(web->errorText().isEmpty());
    EXPECT_EQ(web->toWebView()->url(), backend.url(QStringLiteral("/translated")));
    const QJsonObject body =
        backend.requests("POST", QStringLiteral("/translateWebpageAPI/")).first().jsonObject();
    EXPECT_EQ(body.value("url").toString(), backend.url(QStringLiteral("/source")).toString());
    EXPECT_EQ(body.value("from").toString(), QStringLiteral("en_GB"));
    EXPECT_EQ(body.value("to").toString(), QStringLiteral("de_DE"));
    // The translated page is never shorter than its source.
    EXPECT_EQ(web->sourceContentSize().height(), 3000);
    EXPECT_EQ(web->targetContentSize().height(), 3000);
}

TEST_F(WebWindowTest, SamePageAndPairAreAskedOnceAndANewPairAsksAgain) {
    openWeb();
    ASSERT_TRUE(loadSource());
    QSignalSpy finished(web->fromWebView(), &QWebEngineView::loadFinished);
    web->fromWebView()->reload();
    ASSERT_TRUE(qvtest::waitUntil([&] { return !finished.isEmpty(); }, 15000));
    qvtest::spin(50);
    EXPECT_EQ(pageRequests(), 1);

    setPair(QStringLiteral("en_GB"), QStringLiteral("fr_FR"));
    platform::NotificationCenter::defaultCenter().post(
        QString::fromLatin1(QVMWebPageController::kLanguageNotification));
    ASSERT_TRUE(backend.waitForRequests("POST", QStringLiteral("/translateWebpageAPI/"), 2));
    // The last translation request: the translated page it answers may be fetched before this line.
    EXPECT_EQ(backend.requests("POST", QStringLiteral("/translateWebpageAPI/"))
                  .last()
                  .jsonObject()
                  .value("to")
                  .toString(),
              QStringLiteral("fr_FR"));
}

TEST_F(WebWindowTest, TranslatedSizeIsTheLargerOfBothAndAnUnreadableSizeKeepsTheLast) {
    openWeb();
    web->applyContentSize(true, QSizeF(1200, 5000));
    web->applyContentSize(false, QSizeF(1180, 5100));
    EXPECT_EQ(web->sourceContentSize(), QSizeF(1200, 5000));
    EXPECT_EQ(web->targetContentSize(), QSizeF(1200, 5100));
    web->applyContentSize(true, QSizeF(0, 0));
    web->applyContentSize(false, QSizeF(0, 0));
    EXPECT_EQ(web->sourceContentSize(), QSizeF(1200, 5000));
    EXPECT_EQ(web->targetContentSize(), QSizeF(1200, 5100));
}

TEST_F(WebWindowTest, PanelLayoutFollowsTheDefaultsWhileOpen) {
    openWeb();
    struct Case {
        const char *name;
        const char *key;
        qint64 value;
        bool sourceShown, translationShown;
        Qt::Orientation orientation;
    };
    const QList<Case> cases = {
        {"translation hidden", QVMWebPageController::kShowStateKey, 1, true, false, Qt::Vertical},
        {"source hidden", QVMWebPageController::kShowStateKey, 2, false, true, Qt::Vertical},
        {"unknown state changes nothing", QVMWebPageController::kShowStateKey, 7, false, true, Qt::Vertical},
        {"both", QVMWebPageController::kShowStateKey, 0, true, true, Qt::Vertical},
        {"side by side", QVMWebPageController::kDirectionKey, 1, true, true, Qt::Horizontal},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        defaults().setInteger(c.value, QString::fromLatin1(c.key));
        qvtest::spin(10);
        EXPECT_EQ(!web->fromPanel()->isHidden(), c.sourceShown);
        EXPECT_EQ(!web->toPanel()->isHidden(), c.translationShown);
        EXPECT_EQ(web->generalSplitView()->orientation(), c.orientation);
    }
}

TEST_F(WebWindowTest, ClosingRestoresTheTranslationModeAndReleasesTheWindow) {
    QVMInterfaceFactory::shared().registerSegue<QVMWebPageController>(
        QString::fromLatin1(QVMGeneralViewController::kWebPageSegue), QVMInterfaceFactory::SegueKind::Show);
    openWindow();
    ASSERT_FALSE(QVSettingsService::setTranslationMode(1));
    general->onOpenTranslateWebPages();
    QPointer<QObject> opened = general->webPageController();
    ASSERT_TRUE(opened);
    EXPECT_EQ(QVSettingsService::defaultSettings().translationMode(),
              QVMWebPageController::kWebTranslationMode);
    auto *controller = qobject_cast<QVMWebPageController *>(opened.data());
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(controller->addressField()->hasFocus() || !controller->view()->isActiveWindow());
    press(controller->view(), Qt::Key_Escape);
    ASSERT_TRUE(qvtest::waitUntil([&] { return opened.isNull(); }));
    EXPECT_EQ(general->webPageController(), nullptr);
    EXPECT_EQ(QVSettingsService::defaultSettings().translationMode(), 1);
    EXPECT_EQ(analytics->withAction(QStringLiteral("Web translator - Click Close")).size(), 1);
    QVMInterfaceFactory::shared().removeSegue(QString::fromLatin1(QVMGeneralViewController::kWebPageSegue));
}

TEST_F(WebWindowTest, EveryControlAndBothPagesAreNamedAndTabWalksThemInReadingOrder) {
    struct Case {
        const char *name;
        bool load;
        QStringList stops;
    };
    const QList<Case> cases = {
        {"no page yet", false, {"Address", "Translate", "Close", "Original page", "Translated page"}},
        {"both pages shown", true, {"Address", "Translate", "Close", "Original page", "Translated page"}},
    };
    openWindow(); // the program's appearance comes with the main window
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWeb();
        QSignalSpy shown(web.data(), &QVMWebPageController::pageShown);
        if (c.load) {
            ASSERT_TRUE(loadSource());
            ASSERT_TRUE(qvtest::waitUntil([&] { return shown.count() >= 2; }, 15000));
        }
        expectEveryControlNamed(web->view());
        expectReadableInBothPalettes(web->view());
        // The page itself draws in an inner widget: that is what a screen reader and Tab land on.
        for (QVMWebView *page : {web->fromWebView(), web->toWebView()}) {
            for (QWidget *inner : page->findChildren<QWidget *>()) {
                SCOPED_TRACE(inner->metaObject()->className());
                EXPECT_EQ(inner->accessibleName(), page->accessibleName());
                EXPECT_EQ(inner->toolTip(), page->toolTip());
            }
        }
        web->addressField()->setFocus();
        EXPECT_EQ(tabWalk(web->view()).join(" > ").toStdString(), c.stops.join(" > ").toStdString());
        // A page draws no focus of its own: its title shows it has the keyboard.
        const struct {
            QWidget *focus;
            bool originalMarked, translatedMarked;
        } stops[] = {{web->addressField(), false, false},
                     {web->fromWebView(), true, false},
                     {web->toWebView(), false, true}};
        for (const auto &stop : stops) {
            stop.focus->setFocus();
            qvtest::spin(20);
            SCOPED_TRACE(stopName(QApplication::focusWidget()).toStdString());
            EXPECT_EQ(web->fromTitleLabel()->font().underline(), stop.originalMarked);
            EXPECT_EQ(web->toTitleLabel()->font().underline(), stop.translatedMarked);
        }
        delete web;
    }
}

// The page answers scripts still pending while it is taken apart; by then neither the window nor
// its pages may be touched, whichever of them goes first.
TEST_F(WebWindowTest, PendingPageMeasurementsDoNothingOnceTheWindowIsTakenApart) {
    struct Case {
        const char *name;
        bool windowFirst; // the window is closed: its widgets go before the controller
    } cases[] = {
        {"controller deleted", false},
        {"window closed", true},
    };
    // A page busy for a while right after loading: scripts sent to it wait their turn.
    backend.route("GET", "/busy",
                  FakeReply::bytes("<html><body onload=\"setTimeout(function(){var t=Date.now();"
                                   "while(Date.now()-t<3000){}},0)\">Busy</body></html>",
                                   "text/html"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openWeb();
        QSignalSpy loaded(web->fromWebView(), &QWebEngineView::loadFinished);
        QSignalSpy shown(web.data(), &QVMWebPageController::pageShown);
        web->addressField()->setText(backend.url(QStringLiteral("/busy")).toString());
        web->translate();
        ASSERT_TRUE(qvtest::waitUntil([&] { return !loaded.isEmpty(); }, 15000));
        // The source page is being measured: its scripts have not answered yet.
        ASSERT_TRUE(shown.isEmpty());
        ASSERT_TRUE(web->isLoading(true));
        if (c.windowFirst)
            web->view()->close(); // the window deletes itself, then its controller goes
        else
            delete web.data();
        EXPECT_TRUE(shown.isEmpty());
        qvtest::waitUntil([&] { return web.isNull(); });
        qvtest::spin(50);
        EXPECT_TRUE(shown.isEmpty());
        EXPECT_TRUE(web.isNull());
    }
}

TEST_F(WebWindowTest, APageThatCannotBeOpenedSaysWhatFailed) {
    // A port that was listening a moment ago and is closed now refuses the connection.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    // A server that takes the connection and hangs up without an answer.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QObject::connect(&silent, &QTcpServer::newConnection, &silent, [&silent] {
        while (QTcpSocket *socket = silent.nextPendingConnection()) {
            socket->close();
            socket->deleteLater();
        }
    });
    const QList<QPair<const char *, QString>> cases = {
        {"connection refused", QStringLiteral("http://127.0.0.1:%1/page").arg(port)},
        {"empty reply", QStringLiteral("http://127.0.0.1:%1/page").arg(silent.serverPort())},
    };
    for (const auto &[name, address] : cases) {
        SCOPED_TRACE(name);
        openWeb();
        QSignalSpy shown(web.data(), &QVMWebPageController::pageShown);
        web->addressField()->setText(address);
        web->translate();
        ASSERT_TRUE(qvtest::waitUntil([&] { return !shown.isEmpty(); }, 15000));
        EXPECT_TRUE(web->errorText().startsWith(QString::fromLatin1(QVMWebPageController::kSourceLoadFailed)))
            << web->errorText().toStdString();
        // The engine's reason follows the sentence.
        EXPECT_GT(web->errorText().size(), int(qstrlen(QVMWebPageController::kSourceLoadFailed)) + 1);
        EXPECT_FALSE(web->isLoading(true));
        EXPECT_EQ(pageRequests(), 0);
        delete web;
    }
}
