#pragma once

class QVMGeneralViewController;

// Puts the tray icon and its popover translator into the program: the
// interface factory's entry for the popover and the main view's hooks
// (creating the tray item at each set-up of the main view, opening the
// popover, the tray icon's visibility). Called once, at start-up.
void installTrayPopover();

// The tray item of the main view, made now when it still waits for the window's first frame
// (the translator was asked for sooner, by a shortcut or another program).
void presentWaitingStatusItem();

// The main view the tray item was last made for (null before the first, or once it is gone).
QVMGeneralViewController *trayPopoverMainView();
