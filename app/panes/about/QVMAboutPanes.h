#pragma once

// Registers the About tab of the settings window with the interface factory under
// "Settings" (the Info tab holds a web view and comes from the web module). Start-up
// calls it once; a second call changes nothing.
void installAboutPanes();
// Takes them out again (tests).
void removeAboutPanes();
