#include "support/MemorySystem.h"

#include "common/ByteText.h"

MemorySystem::MemorySystem(ansi::PathStyle style, const ansi::CodePage& codePage, std::string workingDirectory)
    : m_style(style), m_codePage(codePage), m_workingDirectory(std::move(workingDirectory))
{
    addFolder(m_workingDirectory);
}

void MemorySystem::addFolder(const std::string& path)
{
    m_entries[full(path)] = {true, {}};
}

void MemorySystem::addFile(const std::string& path, std::string content)
{
    m_entries[full(path)] = {false, std::move(content)};
}

bool MemorySystem::isFolder(const std::string& path) const
{
    return entryKind(path) == platform::EntryKind::Directory;
}

std::string MemorySystem::content(const std::string& path) const
{
    const auto entry = m_entries.find(full(path));
    return entry == m_entries.end() ? std::string() : entry->second.content;
}

std::string MemorySystem::full(const std::string& path) const
{
    const char separator = m_style.separator;
    std::string result = path;
    const bool driveRelative =
        m_style.hasDrives && path.size() >= 2 && path[1] == ':' && (path.size() == 2 || path[2] != separator);
    if (driveRelative && m_workingDirectory.starts_with(path.substr(0, 2)))
        result = m_workingDirectory + separator + path.substr(2);
    else if (!path.empty() && path[0] != separator && !(m_style.hasDrives && path.size() >= 2 && path[1] == ':'))
        result = m_workingDirectory + separator + path;
    // Trailing separators name the same folder; the rule is double-byte aware.
    while (result.size() > 1 && ansi::endsWithSeparator(result, m_style, m_codePage) &&
           !(m_style.hasDrives && result.size() == 3 && result[1] == ':'))
        result = std::string(ansi::withoutTrailingSeparator(result, m_style, m_codePage));
    return result;
}

platform::DirectoryName MemorySystem::currentDirectory() const
{
    if (workingDirectoryError != 0)
        return {{}, workingDirectoryError};
    return {m_workingDirectory, 0};
}

platform::EntryKind MemorySystem::entryKind(const std::string& path) const
{
    const auto entry = path.empty() ? m_entries.end() : m_entries.find(full(path));
    if (entry == m_entries.end())
        return platform::EntryKind::None;
    return entry->second.folder ? platform::EntryKind::Directory : platform::EntryKind::Other;
}

platform::Listing MemorySystem::listDirectory(const std::string& path, platform::EntryVisitor& visitor) const
{
    listed.push_back(path);
    if (!isFolder(path))
        return platform::Listing::NotADirectory;
    const std::string folder = full(path);
    visitor.visit(".");
    visitor.visit("..");
    for (const auto& [name, entry] : m_entries) {
        const std::string_view parent =
            ansi::withoutTrailingSeparator(ansi::parentPart(name, m_style, m_codePage), m_style, m_codePage);
        if (name != folder && parent == folder)
            visitor.visit(std::string_view(name).substr(ansi::parentPart(name, m_style, m_codePage).size()));
    }
    return platform::Listing::Listed;
}

bool MemorySystem::createDirectory(const std::string& path)
{
    const std::string folder = full(path);
    foldersAttempted.push_back(folder);
    if (failingFolders.contains(folder) || m_entries.contains(folder))
        return false;
    m_entries[folder] = {true, {}};
    return true;
}

std::optional<std::string> MemorySystem::readFile(const std::string& path) const
{
    if (!filesReadable || entryKind(path) != platform::EntryKind::Other)
        return std::nullopt;
    return content(path);
}

platform::WriteResult MemorySystem::createFile(const std::string& path, std::string_view content)
{
    if (createOutcome != platform::WriteResult::Outcome::Written || isFolder(path))
        return {createOutcome == platform::WriteResult::Outcome::Written ? platform::WriteResult::Outcome::CreateFailed
                                                                         : createOutcome,
                21};
    ++writes;
    addFile(path, std::string(content));
    return {};
}

bool MemorySystem::replaceFileContent(const std::string& path, std::string_view content)
{
    if (!filesWritable || entryKind(path) != platform::EntryKind::Other)
        return false;
    ++writes;
    addFile(path, std::string(content));
    return true;
}

platform::LoginStart MemorySystem::loginStart(const std::string& settingsFolder) const
{
    const auto found = loginStarts.find(full(settingsFolder));
    return found == loginStarts.end() ? platform::LoginStart{} : found->second;
}

int MemorySystem::setLoginStart(const std::string& settingsFolder, bool on)
{
    if (loginStartError != 0)
        return loginStartError;
    const std::string folder = full(settingsFolder);
    if (on)
        loginStarts[folder] = {true, true, folder + m_style.separator + "kelvoran.entry"};
    else if (loginStart(folder).own)
        loginStarts.erase(folder);
    return 0;
}

std::unique_ptr<platform::ToolClaim> MemorySystem::claimSettingsFolder(const std::string& /*settingsFolder*/,
                                                                       std::function<void()> /*raise*/)
{
    // The logic never claims a folder (the front ends' start does): a claim that guards nothing.
    return std::make_unique<platform::ToolClaim>();
}

std::unique_ptr<platform::FolderWatch> MemorySystem::watchFolder(const std::string& /*path*/,
                                                                 std::function<void()> /*changed*/) const
{
    struct Watch : platform::FolderWatch
    {
        explicit Watch(const MemorySystem& owner) : of(owner), lostAt(owner.watchesLost) {}
        [[nodiscard]] bool ended() const override { return of.watchesLost != lostAt; }
        void listingStarts() override { seen = of.watchChanges; }
        bool unchangedSinceListing() const override { return of.watchTrusted && seen == of.watchChanges && !ended(); }
        const MemorySystem& of;
        const int lostAt;
        std::optional<int> seen; // the changes counted as the last listing started
    };
    return watching ? std::make_unique<Watch>(*this) : nullptr;
}
