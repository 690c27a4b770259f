#include "QVMInterfaceFactory.h"

#include "QVGeneralWindowController.h"

// Every window and view controller the program makes by name. A class that
// arrives later adds its line here.
void QVMInterfaceFactory::registerBuiltInInterfaces() {
    registerController<QVGeneralWindowController>(QStringLiteral("Main"),
                                                  QStringLiteral("QVGeneralWindowController"));
}
