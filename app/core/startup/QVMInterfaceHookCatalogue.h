#pragma once

// Every hook by which the panes and their features plug into the interface
// foundation (their factory entries are in QVMInterfaceCatalogue.cpp). Start-up
// calls it once, before the main window.
namespace QVMInterfaceHookCatalogue {
void installAll();
}
