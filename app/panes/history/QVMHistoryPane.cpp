#include "QVMHistoryPane.h"

#include "panes/history/HistoryAndLanguagesTabViewController.h"
#include "panes/history/QVMAdditionalTabsController.h"
#include "panes/history/QVMHistoryViewController.h"
#include "panes/history/QVMTransitContenerController.h"

#include "ui/foundation/QVMInterfaceFactory.h"

void installHistoryPane(QVMInterfaceFactory &factory) {
    const QString main = QStringLiteral("Main");
    factory.registerController<QVMTransitContenerController>(main,
                                                             QStringLiteral("QVMTransitContenerController"));
    factory.registerController<HistoryAndLanguagesTabViewController>(
        main, QStringLiteral("HistoryAndLanguagesTabViewController"));
    factory.registerController<QVMAdditionalTabsController>(main,
                                                            QStringLiteral("QVMAdditionalTabsController"));
    factory.registerController<QVMHistoryViewController>(main, QStringLiteral("QVMHistoryViewController"));
}
