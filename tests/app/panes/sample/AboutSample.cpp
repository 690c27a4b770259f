// Shows the settings window on its About tab, then its Info tab, over a
// loopback backend (an update notice, an information page), light or dark,
// saves screenshots and prints the order in which Tab walks the About tab.
//   QT_QPA_PLATFORM=xcb panes_about_sample <output folder> [light|dark]
#include "core/QVStoreConfiguration.h"
#include "core/models/QVRemoteSettings.h"
#include "core/settings/QVSettingsService.h"
#include "panes/about/QVMAboutPanes.h"
#include "panes/about/QVMAboutViewController.h"
#include "panes/info/QVMInfoViewController.h"
#include "panes/settings/QVMSettingsController.h"
#include "panes/settings/QVMSettingsPanes.h"
#include "panes/settings/QVMSettingsWindowController.h"
#include "platform/AppPaths.h"
#include "platform/store/Store.h"
#include "services/graphics/QVMStyleService.h"
#include "services/languages/QVLanguageService.h"
#include "startup/QVStoreMigration.h"
#include "support/EventLoop.h"
#include "support/FakeBackend.h"
#include "support/ScopedBackendHosts.h"
#include "ui/style/QVMAppearance.h"

#include <merovantia/FileKeychainStore.h>
#include <merovantia/KeychainStore.h>
#include <merovantia/MFDataManager.h>

#include <QApplication>
#include <QDir>
#include <QJsonObject>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

void shoot(QWidget *window, const QString &path) {
    window->raise();
    window->activateWindow();
    qvtest::spin(400);
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect frame = window->frameGeometry();
    QPixmap shot = screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull() || shot.toImage().allGray())
        shot = window->grab();
    shot.save(path);
    QTextStream(stdout) << "saved " << path << "\n";
}

void printTabOrder(QWidget *start) {
    QTextStream out(stdout);
    out << "About tab order:";
    start->setFocus(Qt::TabFocusReason);
    qvtest::spin(30);
    QWidget *current = QApplication::focusWidget();
    for (int i = 0; i < 24 && current; ++i) {
        out << " ["
            << (current->accessibleName().isEmpty() ? current->metaObject()->className()
                                                    : current->accessibleName())
            << "]";
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(current, &tab);
        qvtest::spin(30);
        current = QApplication::focusWidget();
        if (current == start)
            break;
    }
    out << "\n";
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool dark = argc > 2 && QByteArray(argv[2]) == "dark";
    const QString suffix = dark ? QStringLiteral("dark") : QStringLiteral("light");
    QDir().mkpath(folder);
    QVMStyleService::shared().setDesktopColorScheme(dark ? QVMStyleService::ColorScheme::Dark
                                                         : QVMStyleService::ColorScheme::Light);
    QVMAppearance::install();

    QTemporaryDir home;
    platform::AppPaths::setRoot(home.path());
    if (QVStoreConfiguration::configureDefaultStore(QVStoreMigration::migrationBlock()) ||
        QVLanguageService::initializeDefaultLanguages())
        return 1;
    auto keychain =
        std::make_shared<merovantia::FileKeychainStore>(merovantia::KeychainStore::defaultFilePath());
    merovantia::KeychainStore::setShared(keychain);
    MFDataManager::sharedDataManager().saveAppKey(QStringLiteral("sample-app-key"), [](const QString &) {});

    qvtest::FakeBackend backend;
    qvtest::ScopedBackendHosts hosts(backend.baseUrl());
    const QByteArray style = dark ? "background:#2b2b2e;color:#f0f0f0" : "background:#ffffff;color:#111";
    backend.route(
        "GET", "/info",
        qvtest::FakeReply::bytes("<html><body style=\"font:15px DejaVu Sans;" + style +
                                     "\"><h2>Quorvalde Translator</h2><p>Translate text, documents, "
                                     "pictures and web pages, online or with offline "
                                     "packages.</p></body></html>",
                                 "text/html"));
    backend.route(
        "POST", "/api/versionUpdate/getVersionUpdateForApp",
        qvtest::FakeReply::json(QJsonObject{
            {"versionUpdateData", QJsonObject{{"version", "99.0"},
                                              {"description", ""},
                                              {"message", "Faster start-up and a new dictionary."}}}}));

    QVariantMap remote{{"admobBannerId", "sample"},
                       {"privacyUrl", "https://quorvalde.example/privacy"},
                       {"thirdPartyURL", "https://quorvalde.example/open-source"},
                       {"facebookUrl", "https://facebook.example/quorvalde"},
                       {"instagramUrl", "https://instagram.example/quorvalde"},
                       {"linkedInUrl", "https://linkedin.example/quorvalde"},
                       {"twitterURL", "https://twitter.example/quorvalde"},
                       {"telegramURL", "https://telegram.example/quorvalde"},
                       {"programSiteUrl", "https://quorvalde.example/"},
                       {"appInfoURL", backend.url(QStringLiteral("/info")).toString()}};
    const QVTranslateSettings record = QVSettingsService::defaultSettings();
    platform::ObjectStore::defaultStore().write([&](platform::Transaction &tx) {
        record.setRemoteSettings(
            tx, QVRemoteSettings(tx.createOrUpdate(QVRemoteSettings::storeClassName(), remote)));
    });

    installSettingsPanes();
    installAboutPanes();
    installInfoPane();
    auto *settings = new QVMSettingsWindowController;
    settings->setTabToOpen(4);
    settings->showWindow();
    settings->selectTab(4);
    settings->window()->move(40, 40);
    auto *about = qobject_cast<QVMAboutViewController *>(settings->contentViewController()->paneForTab(4));
    if (!about)
        return 2;
    QSignalSpy answered(about, &QVMAboutViewController::updateNoticeAnswered);
    qvtest::waitUntil([&] { return !answered.isEmpty(); }, 5000);
    shoot(settings->window(), QDir(folder).filePath(QStringLiteral("about-%1.png").arg(suffix)));
    printTabOrder(about->linkButton(QVMAboutViewController::PrivacyPolicy));

    settings->selectTab(3);
    auto *info = qobject_cast<QVMInfoViewController *>(settings->contentViewController()->paneForTab(3));
    if (!info)
        return 3;
    qvtest::waitUntil([&] { return !info->isLoading(); }, 10000);
    shoot(settings->window(), QDir(folder).filePath(QStringLiteral("info-%1.png").arg(suffix)));

    // The failure face: a closed port.
    platform::ObjectStore::defaultStore().write([&](platform::Transaction &tx) {
        remote.insert(QStringLiteral("appInfoURL"), QStringLiteral("http://127.0.0.1:9/info"));
        record.setRemoteSettings(
            tx, QVRemoteSettings(tx.createOrUpdate(QVRemoteSettings::storeClassName(), remote)));
    });
    auto *failing = new QVMInfoViewController;
    failing->view()->resize(640, 420);
    failing->view()->move(600, 40);
    failing->view()->show();
    qvtest::waitUntil([&] { return !failing->isLoading(); }, 10000);
    shoot(failing->view(), QDir(folder).filePath(QStringLiteral("info-failed-%1.png").arg(suffix)));
    delete failing;
    delete settings;
    merovantia::KeychainStore::setShared(nullptr);
    return 0;
}
