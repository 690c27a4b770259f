#include "core/startup/QVMInterfaceHookCatalogue.h"

#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/general/QVMGeneralPanels.h"

void QVMInterfaceHookCatalogue::installAll() {
    installDictionaryPane();
    installGeneralPanels();
}
