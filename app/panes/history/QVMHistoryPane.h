#pragma once

class QVMInterfaceFactory;

// Registers the side panel under its names ("Main" / "QVMTransitContenerController",
// "HistoryAndLanguagesTabViewController", "QVMAdditionalTabsController",
// "QVMHistoryViewController").
void installHistoryPane(QVMInterfaceFactory &factory);
