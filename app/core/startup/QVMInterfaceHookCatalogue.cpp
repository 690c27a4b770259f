#include "core/startup/QVMInterfaceHookCatalogue.h"

#include "panes/general/QVMGeneralPanels.h"

void QVMInterfaceHookCatalogue::installAll() {
    installGeneralPanels();
}
