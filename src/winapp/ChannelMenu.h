#pragma once

#include "settings/ChannelSettings.h"

#include <windows.h>

#include <string>

namespace winapp {

// The menu of the notification-area icon and of the main window: open the folder, the two
// switches with their check marks, and end the tool.
enum class MenuChoice
{
    None,
    OpenFolder,
    Popup,
    Sound,
    Exit,
};

// Shows the menu at the screen point `at` for `owner`, which is brought to the foreground first
// (or the menu would not close when the user clicks elsewhere), and returns what was chosen.
[[nodiscard]] MenuChoice trackChannelMenu(HWND owner, POINT at, const settings::ChannelSettings& switches);

// Opens `folder` in the system's file manager, for the user to take what arrived: the tool
// itself never opens, moves or deletes it. Returns at once: the shell works on a thread of its
// own and tells the user itself when it cannot.
void openFolder(const std::string& folder);

} // namespace winapp
