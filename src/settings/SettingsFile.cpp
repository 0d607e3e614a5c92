#include "settings/SettingsFile.h"

#include "common/Failures.h"
#include "common/Texts.h"
#include "settings/Ini.h"

#include <initializer_list>

namespace settings {

namespace {

// `pattern` with each "%s" replaced by the next argument.
std::string format(std::string_view pattern, std::initializer_list<std::string_view> arguments)
{
    std::string text;
    auto argument = arguments.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern.compare(i, 2, "%s") == 0 && argument != arguments.end()) {
            text.append(*argument++);
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

// Every line of `text` followed by CR LF; CR LF, a lone CR and a lone LF each end a line, and a
// break at the very end adds no empty line.
std::string withCrLfLines(std::string_view text)
{
    std::string lines;
    std::size_t begin = 0;
    while (begin < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", begin);
        lines.append(text.substr(begin, end - begin)).append("\r\n");
        if (end == std::string_view::npos)
            break;
        begin = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
    }
    return lines;
}

} // namespace

std::string settingsPath(const platform::System& system)
{
    // A working directory that cannot be named gives no path rather than one in some other
    // folder: the file lives there or nowhere.
    const platform::DirectoryName directory = system.currentDirectory();
    if (directory.error != 0)
        return {};
    // The separator is added without looking at the directory's last character.
    return directory.path + system.pathStyle().separator + std::string(texts::settingsFileName);
}

bool settingsPresent(const platform::System& system, const std::string& path)
{
    return !path.empty() && system.entryKind(path) == platform::EntryKind::Other;
}

std::optional<std::string> readSettings(const platform::System& system, const std::string& path)
{
    return path.empty() ? std::nullopt : system.readFile(path);
}

std::string readWatchedFolder(const platform::System& system, const std::string& path)
{
    const std::optional<std::string> content = readSettings(system, path);
    if (!content)
        return {};
    return readIniValue(*content, texts::settingsSection, texts::settingsKey, system.codePage());
}

void storeWatchedFolder(platform::System& system, const std::string& path, const std::string& folder)
{
    storeValue(system, path, texts::settingsSection, texts::settingsKey, folder);
}

void storeValue(platform::System& system, const std::string& path, std::string_view section, std::string_view key,
                std::string_view value)
{
    if (path.empty()) {
        // The working directory cannot be named: the file cannot be made, and nowhere else will do.
        const int error = system.currentDirectory().error;
        throw EFCreateError(format(texts::cannotCreateFile, {texts::settingsFileName, system.errorText(error)}));
    }
    if (!settingsPresent(system, path)) {
        std::string text = "[";
        text.append(section).append("]\r\n").append(key).append("=").append(value);
        const std::string content = withCrLfLines(text);
        const platform::WriteResult result = system.createFile(path, content);
        if (result.outcome == platform::WriteResult::Outcome::CreateFailed)
            throw EFCreateError(
                format(texts::cannotCreateFile, {system.fullPathName(path), system.errorText(result.error)}));
        if (result.outcome == platform::WriteResult::Outcome::ShortWrite)
            throw EWriteError(std::string(texts::streamWriteError));
        return;
    }

    const std::optional<std::string> content = system.readFile(path);
    const std::optional<std::string> updated =
        content ? updateIniValue(*content, section, key, value, system.codePage()) : std::nullopt;
    // A file that may not be written fails even when the value would not change.
    if (!updated || !system.replaceFileContent(path, *updated))
        throw EIniFileException(format(texts::unableToWrite, {path}));
}

} // namespace settings
