#include "QVMShortcutsInstaller.h"

#include "QVMKeyboardShortcutsService.h"
#include "QVMShortcutsSettingsViewController.h"

#include "services/shortcuts/QVMServicesMenu.h"
#include "ui/foundation/QVMInterfaceFactory.h"
#include "ui/foundation/QVMInterfaceHooks.h"
#include "ui/main/QVMGeneralViewController.h"

#include <QDBusConnection>
#include <QPointer>

QVMShortcutsLaunchSteps installServicesAndShortcuts() {
    QVMInterfaceFactory &factory = QVMInterfaceFactory::shared();
    const QString storyboard = QStringLiteral("Settings");
    const QString identifier = QStringLiteral("QVMShortcutsSettingsViewController");
    if (!factory.hasController(storyboard, identifier))
        factory.registerController<QVMShortcutsSettingsViewController>(storyboard, identifier);
    QVMInterfaceHooks &hooks = QVMInterfaceHooks::shared();
    hooks.setServicesMenuDelegate = [](QVMGeneralViewController *view) {
        QPointer<QVMGeneralViewController> target(view);
        QVMServicesMenu::sharedInstance().setDelegate(view, [target](const QString &text, int type) {
            if (target)
                target->updateBufferFromService(text, type);
        });
    };
    hooks.showAgentForText = [](const QString &text) {
        QVMKeyboardShortcutsService::sharedInstance().showAgentForText(text);
    };
    return {[] { QVMServicesMenu::sharedInstance().registerProvider(QDBusConnection::sessionBus()); },
            [] { QVMKeyboardShortcutsService::sharedInstance().startObserving(); }};
}
