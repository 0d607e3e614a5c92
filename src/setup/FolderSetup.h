#pragma once

#include "platform/System.h"
#include "setup/SetupView.h"
#include "setup/WaitingSystem.h"

#include <memory>
#include <string>

namespace setup {

// Shows the stored folder in the folder label, or warns that none is stored. Runs once, when
// the main window is first shown.
void displayRoutine(const platform::System& system, SetupView& view);

// Takes the folder from the entry field, offers to create it when missing, stores it and
// confirms. A failure to store it propagates as the settings code threw it.
void changeCommand(platform::System& system, SetupView& view);

// Where the folder picker opens: `folder` when it answers within a second as a folder, else
// empty (the picker's own start). Asked on a thread of its own that owns all it uses, `loop`
// keeping the window answering meanwhile, so that a share that stopped answering costs a second.
// Throws CommandAbandoned when the window closed meanwhile.
[[nodiscard]] std::string pickerStartFolder(const std::shared_ptr<platform::System>& system, const std::string& folder,
                                            WindowLoop& loop);

} // namespace setup
