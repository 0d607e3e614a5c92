#include "platform/posix/AutostartEntry.h"

#include "platform/posix/FileDescriptor.h"
#include "platform/posix/FileWriting.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform::posix {

namespace {

constexpr std::string_view baseName = "org.kelvoran.Kelvoran";
constexpr const char* markKey = "X-Kelvoran-Folder";
// A desktop entry is a few lines: a larger file is none of ours and is not read.
constexpr off_t maxEntrySize = 64 * 1024;

std::string autostartFolder()
{
    // XDG base directories: an unset, empty or relative XDG_CONFIG_HOME is ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/autostart";
    // Without HOME, the account's own home folder, never a folder under "/".
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* account = ::getpwuid(::geteuid());
        home = account != nullptr ? account->pw_dir : nullptr;
    }
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.config/autostart" : std::string();
}

bool sameFile(const std::string& one, const std::string& other)
{
    struct stat first
    {};
    struct stat second
    {};
    return !one.empty() && !other.empty() && ::stat(one.c_str(), &first) == 0 && ::stat(other.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Whether a desktop entry can carry `text`: UTF-8, and no control characters but the tab, which
// the string escapes write.
bool writable(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            return false;
        std::size_t length = 1;
        char32_t code = byte;
        if (byte >= 0xF0 && byte <= 0xF4)
            length = 4, code = byte & 0x07U;
        else if (byte >= 0xE0)
            length = byte <= 0xEF ? 3 : 0, code = byte & 0x0FU;
        else if (byte >= 0xC2)
            length = 2, code = byte & 0x1FU;
        else if (byte >= 0x80)
            length = 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0U) != 0x80)
                return false;
            code = (code << 6U) | (next & 0x3FU);
        }
        // No overlong form, no surrogate, nothing beyond Unicode.
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += length;
    }
    return true;
}

// A value of type string: backslashes and tabs escaped, and blanks at either end, which a reader
// trims.
std::string escapeString(std::string_view text)
{
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\')
            escaped += "\\\\";
        else if (text[i] == '\t')
            escaped += "\\t";
        else if (text[i] == ' ' && (i == 0 || i + 1 == text.size()))
            escaped += "\\s";
        else
            escaped += text[i];
    }
    return escaped;
}

std::string unescapeString(std::string_view text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        const char next = text[++i];
        plain += next == 's' ? ' ' : next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
    }
    return plain;
}

// One argument of Exec: quoted when it holds a character the rules reserve. The value's own
// string escaping comes on top. A percent sign never gets here (see autostartEntryText).
std::string execArgument(std::string_view argument)
{
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string quoted;
    const bool quote = argument.find_first_of(reserved) != std::string_view::npos;
    for (const char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            quoted += '\\';
        quoted += c;
    }
    return quote ? '"' + quoted + '"' : quoted;
}

// Exec's arguments, its string escaping already undone; field codes dropped.
std::vector<std::string> execArguments(std::string_view exec)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        const char c = exec[i];
        if (c == '\\' && i + 1 < exec.size()) {
            word += exec[++i];
            inWord = true;
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == '%' && i + 1 < exec.size()) {
            if (exec[++i] == '%')
                word += '%';
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (inWord && !word.empty())
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord && !word.empty())
        words.push_back(word);
    return words;
}

// A program named without a slash is looked for in PATH, as the session starts it.
std::string programPath(const std::string& program)
{
    if (program.find('/') != std::string::npos)
        return program;
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!folders.empty()) {
        const std::size_t colon = std::min(folders.find(':'), folders.size());
        const std::string candidate = std::string(folders.substr(0, colon)) + '/' + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        folders.remove_prefix(std::min(colon + 1, folders.size()));
    }
    return {};
}

// The keys of the [Desktop Entry] group, their string escaping undone.
std::map<std::string, std::string> readEntry(const std::string& path)
{
    std::map<std::string, std::string> keys;
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info
    {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxEntrySize)
        return keys;
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    const ssize_t got = ::read(fd.get(), content.data(), content.size());
    content.resize(got > 0 ? static_cast<std::size_t>(got) : 0);

    bool inGroup = false;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = std::min(content.find('\n', start), content.size());
        std::string_view line(content.data() + start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1); // written on Windows
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (!inGroup || equals == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, equals);
        std::string_view value = line.substr(equals + 1);
        while (!key.empty() && key.back() == ' ')
            key.remove_suffix(1);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        keys.emplace(key, unescapeString(value));
    }
    return keys;
}

// An entry of the autostart folder as it bears on one settings folder.
struct Entry
{
    std::string path;
    bool startsTool = false; // starts the executable, minimised, in the folder
    bool own = false;        // the tool's mark, for the folder
};

std::vector<Entry> entriesFor(const std::string& folder, const std::string& executable, const std::string& settings)
{
    std::vector<std::string> names;
    if (const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), &::closedir); listing) {
        while (const dirent* found = ::readdir(listing.get())) {
            const std::string_view name = found->d_name;
            if (name.size() > 8 && name.ends_with(".desktop"))
                names.emplace_back(name);
        }
    }
    std::sort(names.begin(), names.end());

    std::vector<Entry> entries;
    for (const std::string& name : names) {
        const std::map<std::string, std::string> keys = readEntry(folder + '/' + name);
        const auto value = [&](const char* key) {
            const auto found = keys.find(key);
            return found == keys.end() ? std::string() : found->second;
        };
        Entry entry{folder + '/' + name};
        const std::vector<std::string> words = execArguments(value("Exec"));
        // The session skips a hidden entry, and GNOME one it was told to leave.
        entry.startsTool = value("Type") == "Application" && value("Hidden") != "true" &&
                           value("X-GNOME-Autostart-enabled") != "false" && !words.empty() &&
                           std::find(words.begin() + 1, words.end(), "-iconic") != words.end() &&
                           sameFile(programPath(words.front()), executable) && sameFile(value("Path"), settings);
        entry.own = keys.contains(markKey) && sameFile(value(markKey), settings);
        entries.push_back(entry);
    }
    return entries;
}

// Makes `path` and the folders above it that are missing, readable by the user only, as XDG
// base directories must be.
int makeFolders(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return 0;
    if (errno != ENOENT)
        return errno;
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return ENOENT;
    if (const int error = makeFolders(path.substr(0, slash)); error != 0)
        return error;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

} // namespace

std::optional<std::string> autostartEntryText(const std::string& executable, const std::string& settingsFolder)
{
    // The rules write a literal percent sign in Exec as "%%", but GLib looks the program up before
    // it undoes that (and dex never does): such an entry starts nothing, at login or from a menu.
    if (!writable(executable) || !writable(settingsFolder) || executable.find('%') != std::string::npos)
        return std::nullopt;
    const std::string folder = escapeString(settingsFolder);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kelvoran\n"
           "Comment=Tells when data has arrived in a watched folder\n"
           "Exec=" +
           escapeString(execArgument(executable)) +
           " -iconic\n"
           "Path=" +
           folder +
           "\n"
           "Icon=kelvoran\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n" +
           std::string(markKey) + '=' + folder + '\n';
}

LoginStart autostartEntryFor(const std::string& executable, const std::string& settingsFolder)
{
    LoginStart start;
    // An entry not the tool's own is reported before its own one: switching off cannot remove it.
    for (const Entry& entry : entriesFor(autostartFolder(), executable, settingsFolder)) {
        if (entry.startsTool && (!start.on || (start.own && !entry.own)))
            start = {true, entry.own, entry.path};
    }
    return start;
}

int setAutostartEntry(const std::string& executable, const std::string& settingsFolder, bool on)
{
    const std::string folder = autostartFolder();
    if (folder.empty())
        return ENOENT; // no home folder to start from
    const std::vector<Entry> entries = entriesFor(folder, executable, settingsFolder);
    if (!on) {
        int failure = 0;
        for (const Entry& entry : entries) {
            if (entry.own && ::unlink(entry.path.c_str()) != 0 && errno != ENOENT)
                failure = errno;
        }
        return failure;
    }

    const std::optional<std::string> text = autostartEntryText(executable, settingsFolder);
    if (!text)
        return loginPathUnwritable;
    // The folder's own entry is rewritten in place; else the first name nothing holds.
    const auto own = std::find_if(entries.begin(), entries.end(), [](const Entry& entry) { return entry.own; });
    std::string path = own != entries.end() ? own->path : std::string();
    for (int number = 1; path.empty(); ++number) {
        const std::string name =
            number == 1 ? std::string(baseName) : std::string(baseName) + '-' + std::to_string(number);
        struct stat info
        {};
        if (::lstat((folder + '/' + name + ".desktop").c_str(), &info) != 0)
            path = folder + '/' + name + ".desktop";
    }
    if (const int error = makeFolders(folder); error != 0)
        return error;
    const WriteResult written = writeNewFile(path, *text);
    return written.outcome == WriteResult::Outcome::Written ? 0 : written.error;
}

} // namespace platform::posix
