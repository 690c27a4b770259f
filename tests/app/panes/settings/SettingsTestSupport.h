#pragma once

#include "app/services/OnlineServiceTest.h"
#include "app/ui/GeneralViewTestSupport.h"

#include "core/localization/DJLocalizationSystem.h"
#include "panes/settings/QVMSettingsController.h"
#include "panes/settings/QVMSettingsPanes.h"
#include "panes/settings/QVMSettingsWindowController.h"
#include "platform/AppPaths.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace settingstest {

// Records the addresses the panes hand to the browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    UrlCatcher() {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    }
    ~UrlCatcher() override {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

// The main-window fixture over a loopback backend, with the settings panes
// registered and the interface in English.
class SettingsTest : public uitest::GeneralViewFixture<OnlineServiceTest> {
protected:
    void SetUp() override {
        uitest::GeneralViewFixture<OnlineServiceTest>::SetUp();
        installSettingsPanes();
        DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
    }
    void TearDown() override {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<WAYWindow *>(widget))
                widget->hide();
        delete settings;
        removeSettingsPanes();
        DJLocalizationSystem::shared().setLanguage(QStringLiteral("en"));
        uitest::GeneralViewFixture<OnlineServiceTest>::TearDown();
    }
    static void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    QList<uitest::Event> events(const QString &action) const { return analytics->withAction(action); }
    static int visibleSettingsWindows() {
        int count = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            count += qobject_cast<WAYWindow *>(widget) && widget->isVisible() ? 1 : 0;
        return count;
    }
    // A settings window of its own, opened on the tab.
    QVMSettingsWindowController *openSettings(qint64 tab) {
        delete settings;
        auto *controller = new QVMSettingsWindowController;
        settings = controller;
        controller->setTabToOpen(tab);
        controller->showWindow();
        controller->selectTab(tab);
        return controller;
    }
    QPointer<QVMSettingsWindowController> settings;
};

} // namespace settingstest
