#include "QVMInterfaceFactory.h"

#include "QVGeneralWindowController.h"
#include "QVMGeneralAndHistorySplitController.h"

// The foundation's own windows and view controllers made by name. Panes
// register in startup/QVMInterfaceHookCatalogue.cpp, which this layer cannot see.
void QVMInterfaceFactory::registerBuiltInInterfaces() {
    registerController<QVGeneralWindowController>(QStringLiteral("Main"),
                                                  QStringLiteral("QVGeneralWindowController"));
    registerController<QVMGeneralAndHistorySplitController>(
        QStringLiteral("Main"), QStringLiteral("QVMGeneralAndHistorySplitController"));
}
