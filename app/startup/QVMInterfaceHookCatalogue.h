#pragma once

class QVMInterfaceFactory;
struct QVMInterfaceHooks;

// The one place where the windows and panes above the interface foundation
// plug into it: every hook of QVMInterfaceHooks and every factory entry of a
// pane is set here, once, before the main window is made. A static library
// drops a file nothing references, so registrations never live beside the
// classes they register. The foundation's own windows ("Main") register
// themselves in app/ui/QVMInterfaceCatalogue.cpp.
//
//   QVMInterfaceHookCatalogue::install(QVMInterfaceFactory::shared(), QVMInterfaceHooks::shared());
namespace QVMInterfaceHookCatalogue {

// Adds each pane's entries to the factory and sets each hook. Safe to call
// again: entries already there are kept.
void install(QVMInterfaceFactory &factory, QVMInterfaceHooks &hooks);

} // namespace QVMInterfaceHookCatalogue
