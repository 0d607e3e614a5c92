#pragma once

#include "platform/System.h"

#include <vector>

namespace platform {

// The POSIX implementation: UTF-8 narrow text, "/" paths, files and folders through the C library.
class PosixSystem : public System
{
public:
    explicit PosixSystem(std::string argv0, bool startedIconic = false);

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

    // Settings files larger than this are not read: a settings file holds one short line,
    // and a tick must never read without bound.
    static constexpr std::size_t maxFileSize = 1024 * 1024;

private:
    // `path` as the system calls can take it: see PosixSystem.cpp.
    [[nodiscard]] std::string reachable(const std::string& path) const;

    std::string m_argv0;
    bool m_startedIconic;
    // Reused by every listing: one large buffer takes a big folder in few system calls.
};

} // namespace platform
