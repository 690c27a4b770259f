#include "QVMAboutPanes.h"

#include "QVMAboutViewController.h"

#include "ui/foundation/QVMInterfaceFactory.h"

namespace {

const QString kStoryboard = QStringLiteral("Settings");
const QString kAbout = QStringLiteral("QVMAboutViewController");

} // namespace

void installAboutPanes() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    factory.registerController<QVMAboutViewController>(kStoryboard, kAbout);
}

void removeAboutPanes() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    factory.removeController(kStoryboard, kAbout);
}
