#include "winapp/ChannelMenu.h"

#include "common/Texts.h"
#include "platform/win32/ComScope.h"
#include "winapp/GdiObjects.h"

#include <shellapi.h>
#include <shlobj.h>

#include <stdexcept>
#include <thread>

namespace winapp {

namespace {

void append(HMENU menu, UINT flags, MenuChoice choice, std::string_view text)
{
    if (!::AppendMenuA(menu, flags, static_cast<UINT_PTR>(choice), std::string(text).c_str()))
        throw std::runtime_error("AppendMenuA failed");
}

// The folder with a separator at its end, for the explore verb, which only a folder answers: a
// file that took the folder's name is never opened. The last character is found in the ANSI code page, where a
// trail byte 0x5C is no separator.
std::string asFolder(const std::string& folder)
{
    const char* const end = folder.c_str() + folder.size();
    const char* const last = ::CharPrevA(folder.c_str(), end);
    return folder.empty() || (last + 1 == end && (*last == '\\' || *last == '/')) ? folder : folder + '\\';
}

} // namespace

std::optional<std::size_t> todaysArrivalIndex(MenuChoice choice)
{
    const auto index = static_cast<std::size_t>(choice) - static_cast<std::size_t>(MenuChoice::TodaysArrival);
    if (choice < MenuChoice::TodaysArrival || index >= monitor::TodaysArrivals::most)
        return std::nullopt;
    return index;
}

void appendTodaysArrivals(HMENU menu, const std::vector<monitor::TodaysArrival>& arrivals)
{
    // Owned by `menu` once appended.
    Menu today(::CreatePopupMenu());
    if (today.get() == nullptr)
        throw std::runtime_error("CreatePopupMenu failed");
    if (arrivals.empty())
        append(today.get(), MF_STRING | MF_GRAYED, MenuChoice::None, texts::todayNone);
    for (std::size_t i = 0; i < arrivals.size() && i < monitor::TodaysArrivals::most; ++i)
        append(today.get(), MF_STRING, static_cast<MenuChoice>(static_cast<std::size_t>(MenuChoice::TodaysArrival) + i),
               monitor::menuText(arrivals[i]));
    if (!::AppendMenuA(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(today.get()),
                       std::string(texts::menuToday).c_str()))
        throw std::runtime_error("AppendMenuA failed");
    static_cast<void>(today.release());
}

MenuChoice trackChannelMenu(HWND owner, POINT at, const settings::ChannelSettings& switches, bool startsAtLogin,
                            const std::vector<monitor::TodaysArrival>& today, bool paused)
{
    const Menu menu(::CreatePopupMenu());
    if (menu.get() == nullptr)
        throw std::runtime_error("CreatePopupMenu failed");
    append(menu.get(), MF_STRING, MenuChoice::OpenFolder, texts::menuOpenFolder);
    append(menu.get(), MF_STRING | (switches.popup ? MF_CHECKED : MF_UNCHECKED), MenuChoice::Popup, texts::menuPopup);
    append(menu.get(), MF_STRING | (switches.sound ? MF_CHECKED : MF_UNCHECKED), MenuChoice::Sound, texts::menuSound);
    append(menu.get(), MF_STRING | (startsAtLogin ? MF_CHECKED : MF_UNCHECKED), MenuChoice::StartAtLogin,
           texts::menuStartAtLogin);
    append(menu.get(), MF_STRING, MenuChoice::Settings, texts::menuSettings);
    append(menu.get(), MF_STRING, MenuChoice::PickFolder, texts::menuPickFolder);
    {
        // Owned by the menu once appended, and destroyed with it.
        Menu pause(::CreatePopupMenu());
        if (pause.get() == nullptr)
            throw std::runtime_error("CreatePopupMenu failed");
        append(pause.get(), MF_STRING, MenuChoice::PauseHour, texts::menuPauseHour);
        append(pause.get(), MF_STRING, MenuChoice::PauseToDayEnd, texts::menuPauseToDayEnd);
        append(pause.get(), MF_STRING | (paused ? MF_ENABLED : MF_GRAYED), MenuChoice::Resume, texts::menuResume);
        if (!::AppendMenuA(menu.get(), MF_POPUP, reinterpret_cast<UINT_PTR>(pause.get()),
                           std::string(texts::menuPause).c_str()))
            throw std::runtime_error("AppendMenuA failed");
        static_cast<void>(pause.release());
    }
    appendTodaysArrivals(menu.get(), today);
    if (!::AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr))
        throw std::runtime_error("AppendMenuA failed");
    append(menu.get(), MF_STRING, MenuChoice::Exit, texts::menuExit);

    // As Microsoft documents for a notification icon's menu: the owner in the foreground before,
    // and a harmless message posted after, so that the next menu does not close at once.
    ::SetForegroundWindow(owner);
    const UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(menu.get(),
                         TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON |
                             (::GetSystemMetrics(SM_MENUDROPALIGNMENT) != 0 ? TPM_RIGHTALIGN : TPM_LEFTALIGN),
                         at.x, at.y, 0, owner, nullptr));
    ::PostMessageA(owner, WM_NULL, 0, 0);
    switch (static_cast<MenuChoice>(chosen)) {
    case MenuChoice::OpenFolder:
    case MenuChoice::Popup:
    case MenuChoice::Sound:
    case MenuChoice::StartAtLogin:
    case MenuChoice::Settings:
    case MenuChoice::Exit:
    case MenuChoice::PickFolder:
    case MenuChoice::PauseHour:
    case MenuChoice::PauseToDayEnd:
    case MenuChoice::Resume:
        return static_cast<MenuChoice>(chosen);
    case MenuChoice::None:
    case MenuChoice::TodaysArrival:
        break;
    }
    if (const std::optional<std::size_t> index = todaysArrivalIndex(static_cast<MenuChoice>(chosen));
        index && *index < today.size())
        return static_cast<MenuChoice>(chosen);
    return MenuChoice::None;
}

HRESULT FolderOpener::showSelectedInFolder(const std::string& path)
{
    // The whole path's item: the shell opens its parent folder with it selected.
    const PIDLIST_ABSOLUTE item = ::ILCreateFromPathA(path.c_str());
    if (item == nullptr)
        return E_FAIL;
    const HRESULT result = ::SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    ::ILFree(item);
    return result;
}

void FolderOpener::open(const std::string& folder) const
{
    start(folder, {});
}

void FolderOpener::showEntry(const std::string& folder, const std::string& name) const
{
    start(folder, name);
}

void FolderOpener::start(const std::string& folder, const std::string& entry) const
{
    if (m_opening->exchange(true))
        return;
    // The thread owns copies of all it uses: the window may be gone before the shell returns.
    // SEE_MASK_NOASYNC keeps the thread until the shell is done with the request; the shell shows
    // no box of its own (SEE_MASK_FLAG_NO_UI): the window tells the failure its own way.
    try {
        std::thread([opening = m_opening, shellExecute = shellExecute, showSelected = showSelected,
                     window = m_window.hwnd(), message = m_failedMessage, folder, path = asFolder(folder), entry] {
            bool opened = false;
            DWORD error = 0;
            {
                const platform::win32::ComScope com;
                // The entry selected, where the shell finds it; else its folder, as フォルダを開く.
                if (!entry.empty() && SUCCEEDED(com.failure()) && SUCCEEDED(showSelected(path + entry))) {
                    *opening = false;
                    return;
                }
                SHELLEXECUTEINFOA execute{};
                execute.cbSize = sizeof execute;
                execute.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
                execute.lpVerb = "explore";
                execute.lpFile = path.c_str();
                execute.nShow = SW_SHOWNORMAL;
                opened = shellExecute(&execute) != FALSE;
                error = opened ? 0 : ::GetLastError();
            }
            // Free for the next opening, whether this one opened or not.
            *opening = false;
            if (opened)
                return;
            auto failed = std::make_unique<std::string>(folder);
            if (::PostMessageA(window, message, error, reinterpret_cast<LPARAM>(failed.get())))
                static_cast<void>(failed.release());
        }).detach();
    } catch (const std::exception&) {
        *m_opening = false;
        throw;
    }
}

} // namespace winapp
