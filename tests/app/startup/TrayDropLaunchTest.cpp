// Files dropped on the tray window of the program as launched reach the main
// window's document road: the start-up's hooks connect the two.
#include "startup/AppDelegate.h"
#include "startup/QVLaunchHooks.h"
#include "startup/QVMInterfaceHookCatalogue.h"
#include "startup/QVSystemLaunchDependencies.h"
#include "support/EventLoop.h"

#include "core/localization/QVLocalizedString.h"
#include "panes/popover/QVMGenaralPopoverViewController.h"
#include "panes/popover/QVMStatusItem.h"
#include "platform/AppPaths.h"
#include "platform/NetworkStatus.h"
#include "platform/store/Store.h"
#include "ui/foundation/QVMAlertPresenter.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/foundation/QVMUtils.h"
#include "ui/main/QVMGeneralViewController.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

class RecordingAlerts : public QVMAlertPresenter {
public:
    int runModal(const Request &request) override {
        messages << request.message;
        return 0;
    }
    QStringList messages;
};

QWidget *trayWindow() {
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("QVMStatusItemWindow"))
            return widget;
    return nullptr;
}

} // namespace

TEST(TrayDropLaunch, AFileDroppedOnTheTrayWindowReachesTheMainWindowsDocumentRoad) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    platform::AppPaths::setRoot(root.path());
    // Offline, so the document road answers at once, without a request.
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    auto alerts = std::make_shared<RecordingAlerts>();
    QVMUtils::setAlertPresenter(alerts);
    {
        QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), QVMInterfaceHooks::shared());
        AppDelegate delegate(std::make_unique<QVSystemLaunchDependencies>(), QStringLiteral("user"));
        ASSERT_TRUE(delegate.applicationDidFinishLaunching());
        // The status item comes once the main window's first frame is drawn.
        ASSERT_TRUE(
            qvtest::waitUntil([] { return QVMStatusItem::sharedInstance().presentedViewController(); }));
        QVMStatusItem::sharedInstance().showStatusItemWindow();
        QWidget *window = trayWindow();
        ASSERT_NE(window, nullptr);

        struct Case {
            const char *name;
            QString file;
            QByteArray content;
            QString answer; // what the main window says of it
        };
        const QList<Case> cases = {
            {"a document", QStringLiteral("notes.docx"), "PK",
             QVLocalizedString(QStringLiteral("_loc_alert_no_internet"))},
            {"a picture that is not one", QStringLiteral("photo.png"), "text",
             QString::fromLatin1(QVMGeneralViewController::kUnreadablePicture)},
        };
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            const QString path = root.filePath(c.file);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.content);
            file.close();
            alerts->messages.clear();
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            // As a drag does it: entering first makes the window the drop's target.
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window, &enter);
            ASSERT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(window, &drop);
            auto *popover = qobject_cast<QVMGenaralPopoverViewController *>(
                QVMStatusItem::sharedInstance().presentedViewController());
            EXPECT_EQ(alerts->messages, QStringList{c.answer})
                << "the tray window says: "
                << (popover ? popover->messageText().toStdString() : "(no popover)");
        }
    }
    qvtest::spin(50);
    QVMUtils::setAlertPresenter(nullptr);
    platform::ObjectStore::resetDefaultStore();
    platform::NetworkStatus::shared().setOverride(std::nullopt);
    platform::AppPaths::setRoot(QString());
}

// The tray, the global keys and the push registration wait on the bus and the X server: the
// launch leaves them until the window's first frame, unless the translator is asked for sooner.
TEST(TrayDropLaunch, WhatWaitsOnTheBusOrTheXServerComesAfterTheFirstFrame) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    platform::AppPaths::setRoot(root.path());
    platform::NetworkStatus::shared().setOverride(platform::NetworkStatus::NotReachable);
    for (bool askedSooner : {false, true}) {
        SCOPED_TRACE(askedSooner ? "the translator asked for before the frame" : "nothing asked");
        // The status item lives as long as the process: one an earlier launch made would answer.
        QVMStatusItem::sharedInstance().reset();
        QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), QVMInterfaceHooks::shared());
        int keysObserved = 0;
        const std::function<void()> observe = QVLaunchHooks::shared().startObservingShortcuts;
        QVLaunchHooks::shared().startObservingShortcuts = [&] { ++keysObserved; };
        {
            AppDelegate delegate(std::make_unique<QVSystemLaunchDependencies>(), QStringLiteral("user"));
            ASSERT_TRUE(delegate.applicationDidFinishLaunching());
            EXPECT_EQ(keysObserved, 0);
            if (askedSooner) {
                QVMInterfaceHooks::shared().showAgentForText(QStringLiteral("Hello"));
                EXPECT_TRUE(QVMStatusItem::sharedInstance().presentedViewController());
                EXPECT_TRUE(QVMStatusItem::sharedInstance().isStatusItemWindowVisible());
            } else {
                EXPECT_FALSE(QVMStatusItem::sharedInstance().presentedViewController());
            }
            EXPECT_TRUE(qvtest::waitUntil([&] { return keysObserved == 1; }));
            EXPECT_TRUE(QVMStatusItem::sharedInstance().presentedViewController());
            qvtest::spin(20);
            EXPECT_EQ(keysObserved, 1);
        }
        QVLaunchHooks::shared().startObservingShortcuts = observe;
        QVMStatusItem::sharedInstance().reset();
        platform::ObjectStore::resetDefaultStore();
    }
    platform::NetworkStatus::shared().setOverride(std::nullopt);
    platform::AppPaths::setRoot(QString());
}
