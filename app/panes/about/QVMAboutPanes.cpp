#include "QVMAboutPanes.h"

#include "QVMAboutViewController.h"

#include "panes/info/QVMInfoViewController.h"
#include "ui/QVMInterfaceFactory.h"

namespace {

const QString kStoryboard = QStringLiteral("Settings");
const QString kInfo = QStringLiteral("QVMInfoViewController");
const QString kAbout = QStringLiteral("QVMAboutViewController");

} // namespace

void installAboutPanes() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    factory.registerController<QVMInfoViewController>(kStoryboard, kInfo);
    factory.registerController<QVMAboutViewController>(kStoryboard, kAbout);
}

void removeAboutPanes() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    factory.removeController(kStoryboard, kInfo);
    factory.removeController(kStoryboard, kAbout);
}
