#pragma once

#include "platform/System.h"

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

// A System held in memory, so that the logic runs without a disk and with either path style
// and code page. Paths are spelled as the style spells them; a relative path (or a drive-relative
// one such as C:a) is taken from the working directory. The test sets the working directory,
// what exists, and which writes fail; the system records what the logic asked of it.
class MemorySystem : public platform::System
{
public:
    MemorySystem(ansi::PathStyle style, const ansi::CodePage& codePage, std::string workingDirectory);

    void addFolder(const std::string& path);
    void addFile(const std::string& path, std::string content);
    [[nodiscard]] bool isFolder(const std::string& path) const;
    [[nodiscard]] std::string content(const std::string& path) const;

    int workingDirectoryError = 0;        // set: the working directory cannot be named
    std::set<std::string> failingFolders; // createDirectory fails for these (full paths)
    bool filesReadable = true;            // false: every readFile fails
    bool filesWritable = true;            // false: every replaceFileContent fails
    platform::WriteResult::Outcome createOutcome = platform::WriteResult::Outcome::Written;

    std::map<std::string, platform::LoginStart> loginStarts; // by settings folder
    int loginStartError = 0;                                 // set: setLoginStart fails with it
    std::vector<std::string> foldersAttempted;               // full paths, in order
    mutable std::vector<std::string> listed;                 // paths as listDirectory got them
    int writes = 0;                                          // files created or replaced

    [[nodiscard]] const ansi::CodePage& codePage() const override { return m_codePage; }
    [[nodiscard]] ansi::PathStyle pathStyle() const override { return m_style; }
    [[nodiscard]] platform::DirectoryName currentDirectory() const override;
    [[nodiscard]] platform::EntryKind entryKind(const std::string& path) const override;
    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override;
    bool createDirectory(const std::string& path) override;
    [[nodiscard]] std::optional<std::string> readFile(const std::string& path) const override;
    platform::WriteResult createFile(const std::string& path, std::string_view content) override;
    bool replaceFileContent(const std::string& path, std::string_view content) override;
    [[nodiscard]] std::string errorText(int error) const override { return "error " + std::to_string(error); }
    [[nodiscard]] std::string fullPathName(const std::string& path) const override { return full(path); }
    [[nodiscard]] std::string executablePath() const override { return "kelvoran"; }
    [[nodiscard]] platform::LocalTime localTime() const override { return {}; }
    [[nodiscard]] int startupShowCommand() const override { return 1; }
    [[nodiscard]] platform::LoginStart loginStart(const std::string& settingsFolder) const override;
    int setLoginStart(const std::string& settingsFolder, bool on) override;
    [[nodiscard]] std::unique_ptr<platform::ToolClaim> claimSettingsFolder(const std::string& settingsFolder,
                                                                           std::function<void()> raise) override;
    // Watches where `watching`: vouch from their first listing while trusted and nothing is counted.
    std::atomic<bool> watching{false}, watchTrusted{true};
    std::atomic<int> watchChanges{0}, watchesLost{0};
    [[nodiscard]] std::unique_ptr<platform::FolderWatch> watchFolder(const std::string& path,
                                                                     std::function<void()> changed) const override;

private:
    struct Entry
    {
        bool folder;
        std::string content;
    };

    // `path` as a full path without a trailing separator: the key of the entry map.
    [[nodiscard]] std::string full(const std::string& path) const;

    ansi::PathStyle m_style;
    const ansi::CodePage& m_codePage;
    std::string m_workingDirectory;
    std::map<std::string, Entry> m_entries;
};
