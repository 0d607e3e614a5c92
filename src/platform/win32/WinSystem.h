#pragma once

#include "platform/System.h"
#include "platform/win32/ChangeWatch.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace platform {

// The Windows implementation: text in the system's ANSI code page, "\" paths, files and folders
// through the kernel32 A functions.
class WinSystem : public System
{
public:
    explicit WinSystem(bool startedIconic = false);
    // Ends the device notices' thread; watches still open go on without them.
    ~WinSystem() override;
    WinSystem(const WinSystem&) = delete;
    WinSystem& operator=(const WinSystem&) = delete;

    [[nodiscard]] const ansi::CodePage& codePage() const override;
    [[nodiscard]] ansi::PathStyle pathStyle() const override;
    [[nodiscard]] DirectoryName currentDirectory() const override;
    [[nodiscard]] EntryKind entryKind(const std::string& path) const override;
    Listing listDirectory(const std::string& path, EntryVisitor& visitor) const override;
    bool createDirectory(const std::string& path) override;
    [[nodiscard]] std::optional<std::string> readFile(const std::string& path) const override;
    WriteResult createFile(const std::string& path, std::string_view content) override;
    bool replaceFileContent(const std::string& path, std::string_view content) override;
    [[nodiscard]] std::string errorText(int error) const override;
    [[nodiscard]] std::string fullPathName(const std::string& path) const override;
    [[nodiscard]] std::string executablePath() const override;
    [[nodiscard]] LocalTime localTime() const override;
    [[nodiscard]] int startupShowCommand() const override;
    [[nodiscard]] LoginStart loginStart(const std::string& settingsFolder) const override;
    int setLoginStart(const std::string& settingsFolder, bool on) override;
    [[nodiscard]] std::unique_ptr<ToolClaim> claimSettingsFolder(const std::string& settingsFolder,
                                                                 std::function<void()> raise) override;
    [[nodiscard]] std::unique_ptr<FolderWatch> watchFolder(const std::string& path,
                                                           std::function<void()> changed) const override;
    // CancelSynchronousIo on the calling thread: a listing stuck on a share that stopped answering
    // fails with ERROR_OPERATION_ABORTED where the redirector takes the cancellation.
    [[nodiscard]] std::unique_ptr<CallCancel> cancelForThisThread() const override;

    // Settings files larger than this are not read (see PosixSystem).
    static constexpr std::size_t maxFileSize = 1024 * 1024;

    // The two calls that put a written temporary file in the place of the settings file:
    // ReplaceFileA (replaced, replacement, backup) and MoveFileExA (from, to) replacing and
    // writing through. Each sets the last error when it fails. Replaceable so that tests can give
    // the failures Microsoft documents for ReplaceFileA, which Wine does not produce.
    struct FileSwap
    {
        std::function<bool(const std::string& replaced, const std::string& replacement, const std::string& backup)>
            replace;
        std::function<bool(const std::string& from, const std::string& to)> move;
    };
    void setFileSwap(FileSwap swap) { m_fileSwap = std::move(swap); }

    // The call that starts a listing, FindFirstFileW with the folder's "*.*" pattern in the long
    // form. Replaceable so that tests see the pattern: Wine lists a path near MAX_PATH given in
    // the short form too, which Windows refuses.
    std::function<HANDLE(const wchar_t* pattern, WIN32_FIND_DATAW* entry)> findFirst = &::FindFirstFileW;

    // Asked by each folder watch as a listing starts: whether the folder it holds open is being
    // deleted (see win32::ChangeWatch). Replaceable so that tests can give Windows' answer: Wine
    // keeps a folder deleted while held in being, and never reports it delete-pending.
    std::function<bool(HANDLE folder)> heldFolderGoing = &win32::ChangeWatch::deletePending;

private:
    [[nodiscard]] bool swapIn(const std::string& path, const std::string& temporary) const;

    ansi::CodePage m_codePage;
    bool m_startedIconic;
    FileSwap m_fileSwap;
    // Shared with the watches, which take their registrations out of it as they end. Its window
    // and thread are made at the first watch.
    std::shared_ptr<win32::DeviceNotices> m_deviceNotices;
};

} // namespace platform
