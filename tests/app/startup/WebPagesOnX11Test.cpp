// The Info tab and the web-page window as the program makes them: from the web module, loaded
// through the interface factory, with the GL context the module makes and the web engine checked
// in a process of its own (the built program), on X11 (Xvfb, xcb). A loopback page loads; a web
// engine that cannot start (its helper program missing, or root without the sandbox switch) ends
// nothing: each window says in place of its pages that they cannot be shown.
#include "support/ChildProcess.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"
#include "support/XvfbSession.h"

#include "core/QVStoreConfiguration.h"
#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "platform/AppPaths.h"
#include "platform/BackendConfig.h"
#include "platform/SystemLog.h"
#include "platform/store/Store.h"
#include "services/languages/QVLanguageService.h"
#include "startup/QVMInterfaceHookCatalogue.h"
#include "startup/QVStoreMigration.h"
#include "startup/QVWebModule.h"
#include "ui/foundation/QVMBaseVC.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMGeneralViewController.h"

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const QByteArray kPage = "<html><head><title>About us</title></head><body>We translate.</body></html>";
// What the web-page window shows in place of its pages (panes/web/QVMWebPageController.h).
const QString kNoWebView =
    QStringLiteral("Web pages cannot be shown here: the web engine does not start on this computer.");

// The first label of the window showing the text, empty when none does.
QString labelShowing(QWidget *window, const QString &text) {
    for (const QLabel *label : window->findChildren<QLabel *>())
        if (label->isVisibleTo(window) && label->text().contains(text))
            return label->text();
    return {};
}

} // namespace

// In a process of its own, with the environment the case gave: prints "info: loaded" or the Info
// tab's message, then "web: shown" or what the web-page window shows in place of its pages.
TEST(WebPagesOnX11Child, DISABLED_OpenBoth) {
    for (const QString &name :
         qEnvironmentVariable("QV_TEST_UNSET").split(QLatin1Char(','), Qt::SkipEmptyParts))
        qunsetenv(name.toLatin1().constData());
    if (qEnvironmentVariableIntValue("QV_TEST_PREPARE"))
        QVWebModule::prepareEnvironment();
    // A home the cases share, where one start's engine check is found by the next.
    if (qEnvironmentVariableIsSet("QV_TEST_HOME"))
        platform::AppPaths::setRoot(qEnvironmentVariable("QV_TEST_HOME"));
    bool remembered = false;
    platform::SystemLog::setSink([&remembered](const QString &line) {
        remembered = remembered || line.contains(QStringLiteral("not checked again"));
    });
    ASSERT_FALSE(QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()));
    ASSERT_FALSE(QVLanguageService::initializeDefaultLanguages());
    qvtest::FakeBackend backend;
    backend.route("GET", "/info", qvtest::FakeReply::bytes(kPage, "text/html"));
    backend.route("GET", "/source", qvtest::FakeReply::bytes(kPage, "text/html"));
    backend.route("POST", "/translateWebpageAPI/",
                  qvtest::FakeReply::jsonMap({{"result", backend.url(QStringLiteral("/info")).toString()}}));
    platform::BackendConfig::overrideHost("QV_API_HOST", backend.baseUrl());
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    ASSERT_FALSE(platform::ObjectStore::defaultStore().write([&](platform::Transaction &tx) {
        record.setRemoteSettings(tx, QVRemoteSettings(tx.createOrUpdate(
                                         QVRemoteSettings::storeClassName(),
                                         {{"admobBannerId", "test"},
                                          {"appInfoURL", backend.url(QStringLiteral("/info")).toString()}})));
    }));

    QVWebModule::setEngineCheckProgram(QStringLiteral(QV_APP_BINARY));
    QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), QVMInterfaceHooks::shared());
    QTextStream out(stdout);

    auto *info = qobject_cast<QVMBaseVC *>(QVMInterfaceFactory::shared().instantiateController(
        QStringLiteral("Settings"), QStringLiteral("QVMInfoViewController"), nullptr));
    ASSERT_NE(info, nullptr) << QVWebModule::lastError().toStdString();
    QSignalSpy ended(info, SIGNAL(loadEnded(bool)));
    info->view()->resize(640, 480);
    info->view()->show();
    ASSERT_TRUE(qvtest::waitUntil([&] { return !ended.isEmpty(); }, 60000));
    if (ended.last().at(0).toBool())
        out << "info: loaded\n";
    else
        out << "info: failed: " << labelShowing(info->view(), kNoWebView) << "\n";
    out.flush();

    QVMInterfaceFactory::SegueKind kind = QVMInterfaceFactory::SegueKind::Modal;
    auto *web = qobject_cast<QVMBaseVC *>(QVMInterfaceFactory::shared().instantiateSegueDestination(
        QString::fromLatin1(QVMGeneralViewController::kWebPageSegue), nullptr, &kind));
    ASSERT_NE(web, nullptr) << QVWebModule::lastError().toStdString();
    QSignalSpy shown(web, SIGNAL(pageShown(bool)));
    web->view()->show();
    auto *address = web->view()->findChild<QLineEdit *>();
    ASSERT_NE(address, nullptr);
    // The address row works once the pages can be made; without them it says why it cannot.
    const bool known = qvtest::waitUntil(
        [&] { return address->isEnabled() || !labelShowing(web->view(), kNoWebView).isEmpty(); }, 60000);
    ASSERT_TRUE(known);
    if (address->isEnabled()) {
        address->setText(backend.url(QStringLiteral("/source")).toString());
        ASSERT_TRUE(QMetaObject::invokeMethod(web, "translate"));
        ASSERT_TRUE(qvtest::waitUntil([&] { return !shown.isEmpty(); }, 60000));
        out << "web: " << (shown.first().at(0).toBool() ? "shown" : "not shown") << "\n";
    } else {
        EXPECT_EQ(address->toolTip(), kNoWebView);
        out << "web: " << labelShowing(web->view(), kNoWebView) << "\n";
    }
    out << "check: " << (remembered ? "remembered" : "made") << "\n";
    out.flush();
    platform::SystemLog::setSink({});
    delete web->view();
    delete info;
    qvtest::spin(100);
    platform::BackendConfig::overrideHost("QV_API_HOST", QUrl());
}

TEST(WebPagesOnX11, PagesLoadThroughTheModuleAndAnEngineThatCannotStartEndsNothing) {
    qvtest::XvfbSession x11;
    if (!x11.isRunning())
        GTEST_SKIP() << "no Xvfb";
    const bool root = geteuid() == 0;
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString cannot = QStringLiteral("Web pages cannot be shown here");
    const QString user = QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX");
    const struct {
        const char *name;
        QVariantMap environment;
        bool loads;
        bool remembered; // the engine check of an earlier start with the same conditions found
        bool onlyAsRoot;
    } cases[] = {
        // Qt ends a process whose engine finds no helper program.
        {"the engine's helper program missing",
         {{"QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess"}, {"QV_TEST_PREPARE", "1"}},
         false,
         false,
         false},
        // The engine's own exit, as root with the sandbox on.
        {"root with the sandbox left on", {{"QV_TEST_UNSET", user}}, false, false, true},
        // As root the engine refuses to start with its sandbox; the program switches it off.
        {"started as a user starts it",
         {{"QV_TEST_UNSET", user}, {"QV_TEST_PREPARE", "1"}},
         true,
         false,
         false},
        {"started so again", {{"QV_TEST_UNSET", user}, {"QV_TEST_PREPARE", "1"}}, true, true, false},
        // Without GL on the X server the pages draw without it.
        {"no GL on the X server",
         {{"QV_TEST_UNSET", user}, {"QV_TEST_PREPARE", "1"}, {"QT_XCB_GL_INTEGRATION", "none"}},
         true,
         true,
         false},
        // A start in other conditions checks the engine again, and finds it does not start.
        {"the helper program missing after a start",
         {{"QTWEBENGINEPROCESS_PATH", "/nonexistent/QtWebEngineProcess"}, {"QV_TEST_PREPARE", "1"}},
         false,
         false,
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.onlyAsRoot && !root)
            continue;
        QVariantMap environment = x11.childEnvironment();
        environment.insert(QStringLiteral("QV_TEST_HOME"), home.path());
        for (auto it = c.environment.cbegin(); it != c.environment.cend(); ++it)
            environment.insert(it.key(), it.value());
        auto child =
            qvtest::startChildTest(QStringLiteral("WebPagesOnX11Child.DISABLED_OpenBoth"), environment);
        const QString said = QString::fromUtf8(qvtest::finishChild(*child, 180000));
        ASSERT_FALSE(said.isEmpty()) << "the child ended before it said what it saw";
        if (c.loads) {
            EXPECT_TRUE(said.contains(QStringLiteral("info: loaded"))) << said.toStdString();
            EXPECT_TRUE(said.contains(QStringLiteral("web: shown"))) << said.toStdString();
        } else {
            EXPECT_TRUE(said.contains(QStringLiteral("info: failed: ") + cannot)) << said.toStdString();
            EXPECT_TRUE(said.contains(QStringLiteral("web: ") + cannot)) << said.toStdString();
        }
        EXPECT_TRUE(
            said.contains(c.remembered ? QStringLiteral("check: remembered") : QStringLiteral("check: made")))
            << said.toStdString();
    }
}
