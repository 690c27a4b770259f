#include "QVMSettingsPanes.h"

#include "GeneralSettingsViewController.h"
#include "QVMAuthPreviewViewController.h"
#include "QVMSettingsController.h"
#include "QVMSettingsWindowController.h"

#include "ui/foundation/QVMInterfaceFactory.h"

namespace {

const QString kStoryboard = QStringLiteral("Settings");

} // namespace

void installSettingsPanes() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    factory.registerController<QVMSettingsWindowController>(kStoryboard,
                                                            QStringLiteral("QVMSettingsWindowController"));
    factory.registerController<QVMSettingsController>(kStoryboard, QStringLiteral("QVMSettingsController"));
    factory.registerController<GeneralSettingsViewController>(
        kStoryboard, QStringLiteral("GeneralSettingsViewController"));
    factory.registerController<QVMAuthPreviewViewController>(kStoryboard,
                                                             QStringLiteral("QVMAuthPreviewViewController"));
}

void removeSettingsPanes() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    for (const char *name : {"QVMSettingsWindowController", "QVMSettingsController",
                             "GeneralSettingsViewController", "QVMAuthPreviewViewController"})
        factory.removeController(kStoryboard, QString::fromLatin1(name));
}
