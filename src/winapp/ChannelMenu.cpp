#include "winapp/ChannelMenu.h"

#include "common/Texts.h"
#include "winapp/GdiObjects.h"

#include <shellapi.h>

#include <stdexcept>

namespace winapp {

namespace {

void append(HMENU menu, UINT flags, MenuChoice choice, std::string_view text)
{
    if (!::AppendMenuA(menu, flags, static_cast<UINT_PTR>(choice), std::string(text).c_str()))
        throw std::runtime_error("AppendMenuA failed");
}

} // namespace

MenuChoice trackChannelMenu(HWND owner, POINT at, const settings::ChannelSettings& switches)
{
    const Menu menu(::CreatePopupMenu());
    if (menu.get() == nullptr)
        throw std::runtime_error("CreatePopupMenu failed");
    append(menu.get(), MF_STRING, MenuChoice::OpenFolder, texts::menuOpenFolder);
    append(menu.get(), MF_STRING | (switches.popup ? MF_CHECKED : MF_UNCHECKED), MenuChoice::Popup, texts::menuPopup);
    append(menu.get(), MF_STRING | (switches.sound ? MF_CHECKED : MF_UNCHECKED), MenuChoice::Sound, texts::menuSound);
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
    case MenuChoice::Exit:
        return static_cast<MenuChoice>(chosen);
    case MenuChoice::None:
        break;
    }
    return MenuChoice::None;
}

bool openFolder(const std::string& folder)
{
    // ShellExecuteA returns a value above 32 when it succeeded.
    const auto result =
        reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

} // namespace winapp
