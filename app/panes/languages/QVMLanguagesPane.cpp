#include "QVMLanguagesPane.h"

#include "panes/languages/QVMLanguagesViewController.h"

#include "ui/foundation/QVMInterfaceFactory.h"

void installLanguagesPane(QVMInterfaceFactory &factory) {
    factory.registerController<QVMLanguagesViewController>(QStringLiteral("Main"),
                                                           QStringLiteral("QVMLanguagesViewController"));
    factory.registerSegue<QVMLanguagesViewController>(QStringLiteral("kLanguagesControllerSegue"),
                                                      QVMInterfaceFactory::SegueKind::Show);
}
