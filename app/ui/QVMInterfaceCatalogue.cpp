#include "QVMInterfaceFactory.h"

#include "QVGeneralWindowController.h"
#include "QVMGeneralAndHistorySplitController.h"

#include "panes/dictionary/QVMDicrionaryController.h"
#include "panes/history/QVMHistoryPane.h"
#include "panes/languages/QVMLanguagesPane.h"

// Every window and view controller the program makes by name. A class that
// arrives later adds its line here.
void QVMInterfaceFactory::registerBuiltInInterfaces() {
    registerController<QVGeneralWindowController>(QStringLiteral("Main"),
                                                  QStringLiteral("QVGeneralWindowController"));
    registerController<QVMGeneralAndHistorySplitController>(
        QStringLiteral("Main"), QStringLiteral("QVMGeneralAndHistorySplitController"));
    installLanguagesPane(*this);
    installHistoryPane(*this);
    installDictionaryPane(*this);
}
