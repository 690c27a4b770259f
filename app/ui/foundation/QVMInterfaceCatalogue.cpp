#include "ui/foundation/QVMInterfaceFactory.h"

#include "ui/main/QVMGeneralAndHistorySplitController.h"
#include "ui/panels/QVMOpenPanel.h"
#include "ui/panels/QVMSavePanel.h"
#include "ui/window/QVGeneralWindowController.h"

// The foundation's own windows and view controllers made by name. Panes
// register in startup/QVMInterfaceHookCatalogue.cpp, which this layer cannot see.
void QVMInterfaceFactory::registerBuiltInInterfaces() {
    registerController<QVGeneralWindowController>(QStringLiteral("Main"),
                                                  QStringLiteral("QVGeneralWindowController"));
    registerController<QVMGeneralAndHistorySplitController>(
        QStringLiteral("Main"), QStringLiteral("QVMGeneralAndHistorySplitController"));
    registerNib<QVMOpenPanel>(QStringLiteral("QVMOpenPanel"));
    registerNib<QVMSavePanel>(QStringLiteral("QVMSavePanel"));
}
