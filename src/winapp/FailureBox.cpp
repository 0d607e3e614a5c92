#include "winapp/FailureBox.h"

#include "common/ByteText.h"
#include "winapp/ModalScope.h"

namespace winapp {

void showFailureBox(const std::string& message, const std::string& applicationTitle, const ansi::CodePage& codePage,
                    HWND fallbackOwner)
{
    ModalScope modal;
    const HWND owner = modal.active() != nullptr ? modal.active() : fallbackOwner;
    const std::string text = ansi::withFullStop(message, codePage);
    ::MessageBoxA(owner, text.c_str(), applicationTitle.c_str(), MB_ICONHAND | MB_OK);
}

} // namespace winapp
