#pragma once

#include "platform/System.h"

namespace platform {

// The Windows implementation: text in the system's ANSI code page, "\" paths, files and folders
// through the kernel32 A functions.
class WinSystem : public System
{
public:
    WinSystem();

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
    [[nodiscard]] int startupShowCommand() const override;
    [[nodiscard]] std::unique_ptr<FolderWatch> watchFolder(const std::string& path,
                                                           std::function<void()> changed) const override;

    // Settings files larger than this are not read (see PosixSystem).
    static constexpr std::size_t maxFileSize = 1024 * 1024;

private:
    ansi::CodePage m_codePage;
};

} // namespace platform
