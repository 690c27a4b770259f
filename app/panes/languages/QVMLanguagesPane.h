#pragma once

class QVMInterfaceFactory;

// Registers the language picker under its names: "Main" /
// "QVMLanguagesViewController" and the toolbar's segue "kLanguagesControllerSegue".
void installLanguagesPane(QVMInterfaceFactory &factory);
