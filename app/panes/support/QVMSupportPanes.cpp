#include "QVMSupportPanes.h"

#include "QVMSupportRequestController.h"

#include "ui/foundation/QVMInterfaceFactory.h"

void installSupportPanes() {
    QVMInterfaceFactory::shared().registerController<QVMSupportRequestController>(
        QString::fromLatin1(QVMSupportRequestController::kStoryboard),
        QString::fromLatin1(QVMSupportRequestController::kIdentifier));
}
