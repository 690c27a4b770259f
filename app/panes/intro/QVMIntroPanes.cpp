#include "QVMIntroPanes.h"

#include "QVMIntroPageViewController.h"
#include "QVMIntroVC.h"
#include "QVMRegistrationOfferViewController.h"
#include "ui/foundation/QVMInterfaceFactory.h"

void installIntroPanes(QVMInterfaceFactory &factory) {
    const QString storyboard = QString::fromLatin1(QVMIntroVC::kStoryboard);
    const auto add = [&](const char *identifier, QVMInterfaceFactory::Creator creator) {
        // Entries already there are kept (a second install, or a test's own).
        if (!factory.hasController(storyboard, QString::fromLatin1(identifier)))
            factory.registerController(storyboard, QString::fromLatin1(identifier), std::move(creator));
    };
    add(QVMIntroVC::kIdentifier, [](QObject *parent) { return new QVMIntroVC(parent); });
    add(QVMIntroPageViewController::kIdentifier,
        [](QObject *parent) { return new QVMIntroPageViewController(parent); });
    add(QVMRegistrationOfferViewController::kIdentifier,
        [](QObject *parent) { return new QVMRegistrationOfferViewController(parent); });
}
