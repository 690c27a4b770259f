#include "core/startup/QVMInterfaceHookCatalogue.h"

#include "panes/messages/QVMServerMessages.h"
#include "panes/settings/QVMSettingsPanes.h"

// One function per feature, each declared next to its panes.
void installInterfaceHooks() {
    installServerMessages();
    installSettingsPanes();
}
