#pragma once

// Puts the Services entries and the global shortcuts into the program: the
// shortcuts settings tab in the interface factory, the main view's hooks
// (the Services receiver, the popover opened with a text), and the two
// launch steps, returned for start-up to install.
struct QVMShortcutsLaunchSteps {
    void (*addService)();
    void (*startObservingShortcuts)();
};
QVMShortcutsLaunchSteps installServicesAndShortcuts();
