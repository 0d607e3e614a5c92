#pragma once

#include "monitor/TodaysArrivals.h"
#include "settings/ChannelSettings.h"
#include "winapp/WindowBase.h"

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace winapp {

// The menu of the notification-area icon and of the main window: open the folder, the three
// switches with their check marks, the settings dialog, pick the folder, the pause's submenu, and
// end the tool.
enum class MenuChoice
{
    None,
    OpenFolder,
    Popup,
    Sound,
    StartAtLogin,
    Settings,
    Exit,
    PickFolder,
    PauseHour,
    PauseToDayEnd,
    Resume,
    // The first of the day's arrivals; the next ones follow it.
    TodaysArrival = 0x100,
};

// Which of the day's arrivals `choice` is, if one.
[[nodiscard]] std::optional<std::size_t> todaysArrivalIndex(MenuChoice choice);

// Appends the submenu 本日の着信 with `arrivals`, newest first, or its one greyed line when none.
void appendTodaysArrivals(HMENU menu, const std::vector<monitor::TodaysArrival>& arrivals);

// Shows the menu at the screen point `at` for `owner`, which is brought to the foreground first
// (or the menu would not close when the user clicks elsewhere), and returns what was chosen.
// `startsAtLogin` checks ログイン時に起動; `today` lists the day's arrivals; 再開 is offered only while
// `paused`.
[[nodiscard]] MenuChoice trackChannelMenu(HWND owner, POINT at, const settings::ChannelSettings& switches,
                                          bool startsAtLogin, const std::vector<monitor::TodaysArrival>& today,
                                          bool paused);

// Opens folders in the system's file manager, for the user to take what arrived: the tool itself
// never opens, moves or deletes it. The shell parses the path and asks the file system, which on
// a share that does not answer may wait for minutes: each opening runs on a thread of its own, one
// at a time (a request while one is on its way is left out), so that they never pile up. When the
// shell cannot open the folder, `failedMessage` is posted to the window with the folder (a heap
// std::string the window takes over) in lParam and the system's error in wParam.
class FolderOpener
{
public:
    FolderOpener(const WindowBase& window, UINT failedMessage) : m_window(window), m_failedMessage(failedMessage) {}

    void open(const std::string& folder) const;
    // Shows the entry `name` selected in `folder`; the folder opened where the shell cannot.
    void showEntry(const std::string& folder, const std::string& name) const;

    // The call that opens, on the opening's own thread; tests record it here.
    std::function<BOOL(SHELLEXECUTEINFOA*)> shellExecute = &::ShellExecuteExA;
    // The call that shows an entry selected (its full path), on the opening's own thread.
    std::function<HRESULT(const std::string&)> showSelected = &showSelectedInFolder;

    static HRESULT showSelectedInFolder(const std::string& path);

private:
    void start(const std::string& folder, const std::string& entry) const;

    const WindowBase& m_window;
    UINT m_failedMessage;
    // Set while an opening is on its way; shared with its thread, which may outlive this object.
    std::shared_ptr<std::atomic<bool>> m_opening = std::make_shared<std::atomic<bool>>(false);
};

} // namespace winapp
