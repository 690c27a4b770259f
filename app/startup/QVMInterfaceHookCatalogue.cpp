#include "startup/QVMInterfaceHookCatalogue.h"

#include "ui/QVMInterfaceFactory.h"
#include "ui/QVMInterfaceHooks.h"

namespace QVMInterfaceHookCatalogue {

void install(QVMInterfaceFactory &factory, QVMInterfaceHooks &hooks) {
    // Each pane adds one call here: its factory entries, then its hooks.
    (void)factory;
    (void)hooks;
}

} // namespace QVMInterfaceHookCatalogue
