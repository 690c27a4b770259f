#pragma once

class QVMGeneralViewController;

// Puts the tray icon and its popover translator into the program: the
// interface factory's entry for the popover and the main view's hooks
// (creating the tray item at each set-up of the main view, opening the
// popover, the tray icon's visibility). Called once, at start-up.
void installTrayPopover();

// The main view the tray item was last made for (null before the first, or once it is gone).
QVMGeneralViewController *trayPopoverMainView();
