#pragma once

#include "platform/win32/WinHandle.h"

#include <windows.h>

#include <optional>
#include <string>

namespace platform::win32 {

// What names a file or folder whatever the spelling of its path: the volume's serial number and
// the file's index on it.
struct FileIdentity
{
    DWORD volume = 0;
    unsigned long long index = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of what `path` names, opened for no access and shared with everyone; none when it
// cannot be opened (gone, or a file system that gives none). Some redirectors (WebDAV, some NAS)
// give 0 for the serial or the index, which would make every file there the same: none then too.
inline std::optional<FileIdentity> identityOf(const std::wstring& path)
{
    const FileHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file.valid() || !::GetFileInformationByHandle(file.get(), &information))
        return std::nullopt;
    const FileIdentity identity{information.dwVolumeSerialNumber,
                                (static_cast<unsigned long long>(information.nFileIndexHigh) << 32) |
                                    information.nFileIndexLow};
    if (identity.volume == 0 || identity.index == 0)
        return std::nullopt;
    return identity;
}

// `path` made full, without a trailing separator (but for a drive's root), in upper case as the
// file system compares names: the spelling to compare when the identity cannot be had.
inline std::wstring foldedFullPath(const std::wstring& path)
{
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return {};
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length + 1);
    }
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    if (!full.empty())
        ::CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

} // namespace platform::win32
