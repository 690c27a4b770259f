#pragma once

// Every hook and factory entry by which the panes and their features plug
// into the interface foundation. Start-up calls it once, before the main window.
namespace QVMInterfaceHookCatalogue {
void installAll();
}
