#include "startup/QVMInterfaceHookCatalogue.h"

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
#include "panes/web/QVMWebPageController.h"
#include "startup/QVLaunchHooks.h"
#include "ui/QVMGeneralViewController.h"
#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMInterfaceHooks.h"

namespace QVMInterfaceHookCatalogue {

void install(QVMInterfaceFactory &factory, QVMInterfaceHooks &hooks) {
    // Each pane adds one call here: its factory entries, then its hooks.
    installLanguagesPane(factory);
    installHistoryPane(factory);
    installServerMessages();
    installPhotoPane();
    installWebPane();
    QVMGeneralViewController::installDocumentHooks();
    installTrayPopover();
    const QVMShortcutsLaunchSteps steps = installServicesAndShortcuts();
    QVLaunchHooks::shared().addService = steps.addService;
    QVLaunchHooks::shared().startObservingShortcuts = steps.startObservingShortcuts;
    installOfflinePane(factory);
    installSettingsPanes();
    installDictionaryPane(factory);
    installGeneralPanels(hooks);
    installIntroPanes(factory);
}

} // namespace QVMInterfaceHookCatalogue
