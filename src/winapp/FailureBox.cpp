#include "winapp/FailureBox.h"

#include "common/ByteText.h"
#include "winapp/ModalScope.h"

namespace winapp {

void showFailureBox(const std::string& message, const std::string& applicationTitle, const ansi::CodePage& codePage,
                    HWND fallbackOwner, const MessageBoxCall& show)
{
    const HWND active = ::GetActiveWindow();
    const HWND owner = active != nullptr ? active : fallbackOwner;
    // MessageBoxA disables its owner and enables it again before the box goes, but only an owner
    // it found enabled: the scope takes the other windows.
    const ModalScope modal(owner);
    const std::string text = ansi::withFullStop(message, codePage);
    show(owner, text.c_str(), applicationTitle.c_str(), MB_ICONHAND | MB_OK);
}

} // namespace winapp
