#pragma once

// Registers the settings window and its own panes with the interface factory
// under "Settings". Start-up calls it once; a second call changes nothing.
void installSettingsPanes();
// Takes them out again (tests).
void removeSettingsPanes();
