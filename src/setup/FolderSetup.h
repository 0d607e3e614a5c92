#pragma once

#include "platform/System.h"
#include "setup/SetupView.h"

namespace setup {

// Shows the stored folder in the folder label, or warns that none is stored. Runs once, when
// the main window is first shown.
void displayRoutine(const platform::System& system, SetupView& view);

// Takes the folder from the entry field, offers to create it when missing, stores it and
// confirms. A failure to store it propagates as the settings code threw it.
void changeCommand(platform::System& system, SetupView& view);

} // namespace setup
