#pragma once

// Registers the Info and About tabs of the settings window with the interface
// factory under "Settings". Start-up calls it once; a second call changes nothing.
void installAboutPanes();
// Takes them out again (tests).
void removeAboutPanes();
