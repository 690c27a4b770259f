#include "panes/crosspromo/QVMacCrossPromoService.h"

#include "core/DevLog.h"
#include "core/DevLogger.h"
#include "core/QVScreenPresentManager.h"
#include "core/localization/QVLocalizedString.h"
#include "core/mapping/JSONMapping.h"
#include "core/models/QVCrossApp.h"
#include "core/settings/QVSettingsService.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMLinkOpener.h"
#include "ui/foundation/QVMUtils.h"

#include "platform/store/Store.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

QVMacCrossPromoService::PictureLoader &loaderOverride() {
    static QVMacCrossPromoService::PictureLoader loader;
    return loader;
}

int &waitOverride() {
    static int ms = 0;
    return ms;
}

// Only a web address is offered or fetched: another scheme could start any program.
QUrl webLink(const QString &text) {
    return QVMLinkOpener::webAddress(text);
}

void releaseArbiter() {
    QVScreenPresentManager::shared().resetAfterCloseIfNeeded();
}

// The alert of one granted entry: shown once, by whichever comes first, the
// picture or the end of the wait.
struct Prompt {
    QVMAlertPresenter::Request request;
    QUrl storeLink;
    bool started = false;
};

void runAlert(const std::shared_ptr<Prompt> &prompt) {
    int answer = 0;
    try {
        answer = QVMUtils::alertPresenter()->runModal(prompt->request);
    } catch (const std::exception &exception) {
        DevLogger::logException(exception, QString::fromLatin1(QVMacCrossPromoService::kActionMessage));
    }
    releaseArbiter();
    if (answer == QVMAlertPresenter::kFirstButtonReturn)
        QVMLinkOpener::open(prompt->storeLink);
}

void showOnce(const std::shared_ptr<Prompt> &prompt, const QImage &picture) {
    if (prompt->started)
        return;
    prompt->started = true;
    prompt->request.icon = picture;
    // Never inside the loader's own callback: the alert runs its own event loop.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [prompt] { runAlert(prompt); }, Qt::QueuedConnection);
}

void present(const std::shared_ptr<Prompt> &prompt, const QString &pictureAddress) {
    const QUrl picture = webLink(pictureAddress);
    if (!picture.isValid()) {
        showOnce(prompt, {});
        return;
    }
    const int waitMs = waitOverride() > 0 ? waitOverride() : QVMacCrossPromoService::kPictureWaitMs;
    QTimer::singleShot(waitMs, QCoreApplication::instance(), [prompt] { showOnce(prompt, {}); });
    const auto loaded = [prompt](const QImage &image, const platform::Error &error) {
        if (error)
            DevLogger::logError(error, QString::fromLatin1(QVMacCrossPromoService::kActionMessage));
        showOnce(prompt, error ? QImage() : image);
    };
    if (loaderOverride())
        loaderOverride()(picture, loaded);
    else
        QVMRemoteImage::shared().loadImage(picture, loaded);
}

} // namespace

void QVMacCrossPromoService::savePromoAppsWithData(const QVariantList &apps,
                                                   const std::function<void(bool saved)> &completion) {
    const QString message = QString::fromLatin1(kSaveMessage);
    bool saved = false;
    platform::Error error;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&error);
    if (!store.isNull()) {
        bool reported = false;
        // What was written before a failing item stays: the entries are independent.
        error = safeTransactionWithBlock(store, [&](platform::Transaction &tx) {
            try {
                const QList<platform::Object> stored =
                    JSONMapping::createOrUpdateInRealm(tx, QVCrossApp::storeClassName(), apps);
                saved = std::any_of(stored.begin(), stored.end(),
                                    [](const platform::Object &object) { return !object.isNull(); });
            } catch (const std::exception &exception) {
                DevLogger::logException(exception, message);
                reported = true;
                saved = false;
            }
        });
        if (error && !reported)
            DevLogger::logError(error, message);
    } else {
        DevLogger::logError(error, message);
    }
    if (completion)
        completion(saved && !error);
}

void QVMacCrossPromoService::updateShownStatus() {
    if (!QVSettingsService::defaultSettings().remoteSettings().crossPromoRepeat())
        return;
    platform::Error error;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&error);
    if (!store.isNull()) {
        error = safeTransactionWithBlock(store, [](platform::Transaction &tx) {
            const QList<QVCrossApp> apps =
                tx.store().objects(QVCrossApp::storeClassName()).toList<QVCrossApp>();
            for (const QVCrossApp &app : apps)
                QVCrossApp(app).setWasShown(tx, false);
        });
    }
    if (error)
        DevLogger::logError(error, QStringLiteral("updateShownStatus"));
}

void QVMacCrossPromoService::crossPromoAction() {
    updateShownStatus();
    const QVTranslateSettings settings = QVSettingsService::defaultSettings();
    qint64 every = settings.remoteSettings().crossPromoEventCount();
    // A negative count would make a negative index.
    if (every <= 0)
        every = kDefaultEventCount;

    platform::Error error;
    const platform::ObjectStore store = platform::ObjectStore::defaultStore(&error);
    if (store.isNull()) {
        DevLogger::logError(error, QString::fromLatin1(kActionMessage));
        return;
    }
    const QList<QVCrossApp> apps = store.objects(QVCrossApp::storeClassName()).toList<QVCrossApp>();
    if (apps.isEmpty()) {
        DevLog(QString::fromLatin1(kNoAppsLog));
        return;
    }
    QList<QVCrossApp> unshown;
    for (const QVCrossApp &app : apps)
        if (!app.wasShown())
            unshown.append(app);
    if (unshown.isEmpty()) {
        DevLog(QString::fromLatin1(kNoUnshownAppsLog));
        return;
    }
    // Entries hidden from the prompt or without a web store link are never offered (and stay unshown).
    QList<QVCrossApp> offered;
    for (const QVCrossApp &app : unshown)
        if (app.showInPopup() && webLink(app.storeId()).isValid())
            offered.append(app);
    std::stable_sort(offered.begin(), offered.end(),
                     [](const QVCrossApp &a, const QVCrossApp &b) { return a.order() < b.order(); });

    const qint64 count = settings.dayTranslationPassedCount();
    if (offered.isEmpty() || count < every || count % every != 0)
        return;
    const QVCrossApp app = offered.at(qsizetype((count / every - 1) % offered.size()));
    if (!QVScreenPresentManager::shared().canShowScreenType(kScreenType))
        return;

    const QString appID = app.appID();
    error = safeTransactionWithBlock(store, [&appID](platform::Transaction &tx) {
        QVCrossApp(tx.store().objectForPrimaryKey(QVCrossApp::storeClassName(), appID)).setWasShown(tx, true);
    });
    if (error) {
        // Shown without its mark it would come back every time.
        DevLogger::logError(error, QString::fromLatin1(kActionMessage));
        releaseArbiter();
        return;
    }
    auto prompt = std::make_shared<Prompt>();
    prompt->request.title = app.appName();
    prompt->request.message = app.appDescription();
    prompt->request.buttons = {QVLocalizedString(QStringLiteral("_loc_download")),
                               QVLocalizedString(QStringLiteral("_loc_cancel"))};
    prompt->storeLink = webLink(app.storeId());
    present(prompt, app.imageUrl());
}

void QVMacCrossPromoService::setPictureLoader(PictureLoader loader) {
    loaderOverride() = std::move(loader);
}

void QVMacCrossPromoService::setPictureWaitMs(int ms) {
    waitOverride() = ms;
}

void installCrossPromo() {
    QVMInterfaceHooks::shared().crossPromoAction = [] { QVMacCrossPromoService::crossPromoAction(); };
}
