#include "startup/QVMInterfaceHookCatalogue.h"

#include "panes/about/QVMAboutPanes.h"
#include "panes/crosspromo/QVMacCrossPromoService.h"
#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/general/QVMGeneralPanels.h"
#include "panes/history/QVMHistoryPane.h"
#include "panes/intro/QVMIntroPanes.h"
#include "panes/languages/QVMLanguagesPane.h"
#include "panes/messages/QVMServerMessages.h"
#include "panes/offline/QVMOfflineViewController.h"
#include "panes/photo/QVMPhotoRecognitionController.h"
#include "panes/popover/QVMTrayPopoverInstaller.h"
#include "panes/settings/QVMSettingsPanes.h"
#include "panes/shortcuts/QVMShortcutsInstaller.h"
#include "panes/support/QVMSupportPanes.h"
#include "startup/QVLaunchHooks.h"
#include "startup/QVWebModule.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMGeneralViewController.h"

namespace {

// Windows holding web views come from the web module, loaded when one is first opened.
QVMInterfaceFactory::Creator fromWebModule(const char *className) {
    return
        [className](QObject *parent) { return QVWebModule::create(QString::fromLatin1(className), parent); };
}

void installWebPanes(QVMInterfaceFactory &factory, QVMInterfaceHooks &hooks) {
    factory.registerSegue(QString::fromLatin1(QVMGeneralViewController::kWebPageSegue),
                          fromWebModule("QVMWebPageController"), QVMInterfaceFactory::SegueKind::Show);
    factory.registerController(QStringLiteral("Settings"), QStringLiteral("QVMInfoViewController"),
                               fromWebModule("QVMInfoViewController"));
    hooks.onOpenTranslateWebPages = [](QVMGeneralViewController *view) { view->onOpenTranslateWebPages(); };
}

} // namespace

namespace QVMInterfaceHookCatalogue {

void install(QVMInterfaceFactory &factory, QVMInterfaceHooks &hooks) {
    // Each pane adds one call here: its factory entries, then its hooks.
    installLanguagesPane(factory);
    installHistoryPane(factory);
    installServerMessages();
    installPhotoPane();
    installWebPanes(factory, hooks);
    QVMGeneralViewController::installDocumentHooks();
    hooks.openStatusItemDroppedFiles = [](QVMGeneralViewController *view, const QStringList &paths) {
        view->openStatusItemDroppedFiles(paths);
    };
    installTrayPopover();
    const QVMShortcutsLaunchSteps steps = installServicesAndShortcuts();
    QVLaunchHooks::shared().addService = steps.addService;
    QVLaunchHooks::shared().startObservingShortcuts = steps.startObservingShortcuts;
    installOfflinePane(factory);
    installSettingsPanes();
    installAboutPanes();
    installDictionaryPane(factory);
    installGeneralPanels(hooks);
    installCrossPromo();
    installSupportPanes();
    installIntroPanes(factory);
}

} // namespace QVMInterfaceHookCatalogue
