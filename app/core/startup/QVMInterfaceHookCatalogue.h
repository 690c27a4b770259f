#pragma once

// Puts every window, pane and hook that lives above the interface foundation
// into the factory and QVMInterfaceHooks. Start-up calls it once.
void installInterfaceHooks();
