#include "startup/QVMInterfaceHookCatalogue.h"

#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/general/QVMGeneralPanels.h"
#include "panes/history/QVMHistoryPane.h"
#include "panes/languages/QVMLanguagesPane.h"

#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMInterfaceHooks.h"

namespace QVMInterfaceHookCatalogue {

void install(QVMInterfaceFactory &factory, QVMInterfaceHooks &hooks) {
    // Each pane adds one call here: its factory entries, then its hooks.
    installLanguagesPane(factory);
    installHistoryPane(factory);
    installDictionaryPane(factory);
    installGeneralPanels(hooks);
}

} // namespace QVMInterfaceHookCatalogue
