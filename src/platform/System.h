#pragma once

#include "common/CodePage.h"
#include "common/PathStyle.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// What a path names, following symbolic links.
enum class EntryKind
{
    None,
    Directory,
    Other,
};

// The outcome of writing a new file; `error` is the system's error code when it failed.
struct WriteResult
{
    enum class Outcome
    {
        Written,
        CreateFailed,
        ShortWrite,
    };
    Outcome outcome = Outcome::Written;
    int error = 0;
};

// How a directory listing went.
enum class Listing
{
    NotADirectory, // the path names no existing directory
    Unlistable,    // a directory that could not be listed, for example for want of permission
    Listed,        // every entry was handed to the visitor
};

// The working directory's path, or the system's error code when it cannot be named (it was
// deleted, or lies where the process cannot reach).
struct DirectoryName
{
    std::string path;
    int error = 0;
};

// What tells one folder from another on its system, whatever path names it: device and inode, or
// volume serial number and file index.
struct FolderIdentity
{
    unsigned long long device = 0;
    unsigned long long file = 0;
    friend bool operator==(const FolderIdentity&, const FolderIdentity&) = default;
};

// The system's time now, and the local time it makes under the time zone set now.
struct LocalTime
{
    long long wallSeconds = 0; // since 1970 UTC, as the user may set it
    int date = 0;              // year * 10000 + month * 100 + day
    int weekday = 0;           // 0 Sunday
    int minuteOfDay = 0;
    int secondOfMinute = 0;
};

// Receives the names of a directory listing one at a time.
class EntryVisitor
{
public:
    virtual ~EntryVisitor() = default;
    // Called before the names, where the system can tell, with the listed folder's identity.
    virtual void identify(const FolderIdentity& /*identity*/) {}
    virtual void visit(std::string_view name) = 0;
};

// A watch on a folder's entries; destroying it stops the calls.
class FolderWatch
{
public:
    virtual ~FolderWatch() = default;
    // True once the watch sees nothing more: its folder went (even if it comes back), or a watch
    // that reports one change has done so. The checker takes a new one after its next listing.
    [[nodiscard]] virtual bool ended() const = 0;
    // Called as each listing starts. A watch that reports one change and then sleeps until this
    // call costs one wake-up per check, however fast the folder changes; a watch that holds its
    // folder open (and so keeps a deleted folder in being) ends here instead.
    virtual void listingStarts() {}
    // Called once the watch has ended, after a listing that found the folder as it was when the
    // watch was set up: true when it watches again as it is, so that it need not be set up anew.
    [[nodiscard]] virtual bool resume() { return false; }
    // True while the watch can vouch that the last listing's answer still holds: it misses no
    // change of its folder (a live watch on a local file system; a share or a FUSE folder changed
    // from elsewhere tells it nothing), it was on before that listing started, its path still
    // names the folder it watches, and it has seen no entry come or go, no overflow and no loss
    // since. False wherever it cannot tell. Never waits on a share.
    [[nodiscard]] virtual bool unchangedSinceListing() const { return false; }
};

// Ends the file-system call that one thread is making, from another thread; the call then fails
// as the system fails a cancelled call. Made by the thread it ends.
class CallCancel
{
public:
    virtual ~CallCancel() = default;
    virtual void cancel() = 0;
};

// What starts the tool at login in one settings folder, as the system's start-up entries stand.
struct LoginStart
{
    bool on = false;   // an entry starts this executable, minimised, in the folder
    bool own = false;  // that entry is one the tool made, and so may remove
    std::string entry; // the entry's full path, when on
};

// setLoginStart's answer when a path (the executable's, the folder's) holds what the system's
// start-up entry cannot carry; no error code of the system's.
inline constexpr int loginPathUnwritable = -1;

// Held while this process is the one tool of its settings folder; released when destroyed or
// when the process ends, however it ends.
class ToolClaim
{
public:
    virtual ~ToolClaim() = default;
};

// Show commands a process can be started with; the window looks at these two only.
namespace showCommands {
inline constexpr int normal = 1;
inline constexpr int maximised = 3;
inline constexpr int minimisedNoActivate = 7; // what a shortcut set to run minimised passes
} // namespace showCommands

// The operating-system services the tool's logic uses. Paths and texts are bytes in the
// narrow code page. Nothing above this layer calls the operating system directly.
class System
{
public:
    virtual ~System() = default;

    [[nodiscard]] virtual const ansi::CodePage& codePage() const = 0;
    [[nodiscard]] virtual ansi::PathStyle pathStyle() const = 0;

    // The process's current working directory, read at each call.
    [[nodiscard]] virtual DirectoryName currentDirectory() const = 0;

    // What `path` names; a relative path is taken relative to the working directory.
    [[nodiscard]] virtual EntryKind entryKind(const std::string& path) const = 0;

    // Tests that `path` names a directory and walks every entry of it, "." and ".." included as
    // the file system reports them, to the end. One call, so that the test and the listing cost
    // no more than the listing alone.
    virtual Listing listDirectory(const std::string& path, EntryVisitor& visitor) const = 0;

    // Creates one directory. False when it could not be created.
    virtual bool createDirectory(const std::string& path) = 0;

    // The whole content of the regular file `path`; nullopt when it is no regular file or
    // cannot be read. Never blocks on a pipe or device.
    [[nodiscard]] virtual std::optional<std::string> readFile(const std::string& path) const = 0;

    // Creates `path` anew (replacing a file of that name) holding exactly `content`. Through a
    // symbolic link the entry it points to is written; the link itself is never replaced.
    virtual WriteResult createFile(const std::string& path, std::string_view content) = 0;

    // Replaces the content of the present file `path` by `content`. False when it may not or
    // could not be written.
    virtual bool replaceFileContent(const std::string& path, std::string_view content) = 0;

    // The system's text for an error code, without trailing blanks, control characters and full stops.
    [[nodiscard]] virtual std::string errorText(int error) const = 0;

    // `path` as a full path: relative paths joined to the working directory, "." and ".."
    // folded, symbolic links left as they are. A relative path stays as it is when the working
    // directory cannot be named.
    [[nodiscard]] virtual std::string fullPathName(const std::string& path) const = 0;

    // The path of the running executable.
    [[nodiscard]] virtual std::string executablePath() const = 0;

    // The time now. A time zone changed while the tool runs counts from the next call. To be
    // called from one thread only.
    [[nodiscard]] virtual LocalTime localTime() const = 0;

    // The show command the process was started with (see showCommands).
    [[nodiscard]] virtual int startupShowCommand() const = 0;

    // Whether the system starts this executable at login in `settingsFolder`.
    [[nodiscard]] virtual LoginStart loginStart(const std::string& settingsFolder) const = 0;

    // Makes the tool's own login entry for `settingsFolder`, or removes it. Each folder has an
    // entry of its own. Returns 0, loginPathUnwritable, or the system's error code when it failed.
    virtual int setLoginStart(const std::string& settingsFolder, bool on) = 0;

    // Claims `settingsFolder`, known by its identity rather than its spelling, for this process.
    // Null when a running copy holds it: that copy has then been asked to bring its window up.
    // While the claim is held, a later start's ask calls `raise`, from any thread: the window
    // hands it to its own. Where the system cannot tell, a claim that guards nothing: a start is
    // never refused for want of an answer.
    [[nodiscard]] virtual std::unique_ptr<ToolClaim> claimSettingsFolder(const std::string& settingsFolder,
                                                                         std::function<void()> raise) = 0;

    // Calls `changed`, from a thread of the watch's own, soon after entries of the folder `path`
    // come or go, and once when the folder itself goes. Null where the system cannot watch it:
    // then only the tick sees changes.
    [[nodiscard]] virtual std::unique_ptr<FolderWatch> watchFolder(const std::string& /*path*/,
                                                                   std::function<void()> /*changed*/) const
    {
        return nullptr;
    }

    // A way for another thread to end the calling thread's file-system calls. Null where the
    // system cannot end a call under way: such a call is waited for, or left to end by itself.
    [[nodiscard]] virtual std::unique_ptr<CallCancel> cancelForThisThread() const { return nullptr; }
};

// The system the tool runs on; `argv0` is the fallback for the executable's path. A start with
// the X toolkit's `-iconic` option reads as the show command minimisedNoActivate.
[[nodiscard]] std::unique_ptr<System> createSystem(std::string argv0, bool startedIconic = false);

} // namespace platform
