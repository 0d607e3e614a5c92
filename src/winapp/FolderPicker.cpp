#include "winapp/FolderPicker.h"

#include "common/Texts.h"
#include "platform/win32/ComScope.h"
#include "platform/win32/WideText.h"
#include "winapp/ComPointer.h"

#include <objbase.h>

namespace winapp {

std::string FolderPicker::pick(HWND owner, const std::string& start)
{
    std::string chosen;
    m_closed = false;
    const platform::win32::ComScope com;
    {
        ComPointer<IFileOpenDialog> picker;
        if (SUCCEEDED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                         picker.putVoid()))) {
            const std::wstring title = platform::win32::toWide(texts::folderPickerTitle);
            FILEOPENDIALOGOPTIONS options = 0;
            picker->GetOptions(&options);
            picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST | FOS_NOCHANGEDIR);
            picker->SetTitle(title.c_str());
            ComPointer<IShellItem> folder;
            if (const std::wstring wide = platform::win32::toWide(start);
                !wide.empty() &&
                SUCCEEDED(::SHCreateItemFromParsingName(wide.c_str(), nullptr, IID_IShellItem, folder.putVoid())))
                picker->SetFolder(folder.get());
            ComPointer<IShellItem> picked;
            wchar_t* path = nullptr;
            m_open = picker.get();
            const HRESULT answered = picker->Show(owner);
            m_open = nullptr;
            if (SUCCEEDED(answered) && !m_closed && SUCCEEDED(picker->GetResult(picked.put())) &&
                SUCCEEDED(picked->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
                chosen = narrow(path);
                if (chosen.empty())
                    ::MessageBeep(MB_ICONEXCLAMATION);
                ::CoTaskMemFree(path);
            }
        }
    }
    return chosen;
}

bool FolderPicker::close()
{
    m_closed = true;
    if (m_open == nullptr)
        return false;
    // ERROR_CANCELLED as an HRESULT; 7 is the facility of the system's error codes.
    m_open->Close(MAKE_HRESULT(SEVERITY_ERROR, 7, ERROR_CANCELLED));
    return true;
}

} // namespace winapp
