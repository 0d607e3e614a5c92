#pragma once

#include "platform/System.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

namespace setup {

// Thrown out of a command whose window closed while it waited: the command ends with no change,
// and the window's failure boundary lets it go without a word.
class CommandAbandoned : public std::runtime_error
{
public:
    CommandAbandoned() : std::runtime_error("the window closed") {}
};

// What waiting for a call on another thread needs of the window: its own loop.
class WindowLoop
{
public:
    virtual ~WindowLoop() = default;
    // Handles the window's messages (keys, paints, ticks) until `finished()` holds, testing it
    // every few milliseconds. False when the window closed meanwhile.
    [[nodiscard]] virtual bool runUntil(const std::function<bool()>& finished) = 0;
};

// The system as the window's own commands see it: each file-system call runs on a thread of the
// commands' own while the window's loop keeps the window answering, so that a folder on a share
// that stopped answering never freezes it. A call that answers at once never enters the loop.
// When the window closes during a wait, the call throws CommandAbandoned; it still holds the
// system and ends by itself.
//
// The thread lasts as long as this object, so that a command starts no thread: a thread started
// per call, while the check starts its own, made thread creation stall under Wine. After a call
// given up on, the next call gets a new thread.
class WaitingSystem : public platform::System
{
public:
    WaitingSystem(std::shared_ptr<platform::System> system, WindowLoop& loop);
    ~WaitingSystem() override;
    WaitingSystem(const WaitingSystem&) = delete;
    WaitingSystem& operator=(const WaitingSystem&) = delete;

    [[nodiscard]] const ansi::CodePage& codePage() const override { return m_system->codePage(); }
    [[nodiscard]] ansi::PathStyle pathStyle() const override { return m_system->pathStyle(); }
    [[nodiscard]] platform::DirectoryName currentDirectory() const override;
    [[nodiscard]] platform::EntryKind entryKind(const std::string& path) const override;
    // Not through a thread: the visitor belongs to the caller. The commands never list.
    platform::Listing listDirectory(const std::string& path, platform::EntryVisitor& visitor) const override
    {
        return m_system->listDirectory(path, visitor);
    }
    bool createDirectory(const std::string& path) override;
    [[nodiscard]] std::optional<std::string> readFile(const std::string& path) const override;
    platform::WriteResult createFile(const std::string& path, std::string_view content) override;
    bool replaceFileContent(const std::string& path, std::string_view content) override;
    [[nodiscard]] std::string errorText(int error) const override { return m_system->errorText(error); }
    [[nodiscard]] std::string fullPathName(const std::string& path) const override;
    [[nodiscard]] std::string executablePath() const override { return m_system->executablePath(); }
    [[nodiscard]] platform::LocalTime localTime() const override { return m_system->localTime(); }
    [[nodiscard]] int startupShowCommand() const override { return m_system->startupShowCommand(); }
    [[nodiscard]] platform::LoginStart loginStart(const std::string& settingsFolder) const override;
    int setLoginStart(const std::string& settingsFolder, bool on) override;
    // Not through a thread: made once at start, before there is a window to keep answering.
    [[nodiscard]] std::unique_ptr<platform::ToolClaim> claimSettingsFolder(const std::string& settingsFolder,
                                                                           std::function<void()> raise) override
    {
        return m_system->claimSettingsFolder(settingsFolder, std::move(raise));
    }

    // Waits, at most `milliseconds`, for the settings writes that a closed window gave up waiting
    // for: a write cut off by the process's end could leave a file half replaced. Called as the
    // window goes.
    void finishWrites(unsigned milliseconds) const;

    // The writes under way, and the thread the calls run on; opaque.
    struct Writes;
    struct Worker;

private:
    template <typename Call> auto offThread(Call call, bool writes) const;
    void hand(std::function<void()> call) const;
    // Starts the thread the calls go to; the one before ends once it is done.
    void startWorker() const;

    std::shared_ptr<platform::System> m_system;
    WindowLoop& m_loop;
    std::shared_ptr<Writes> m_writes;
    mutable std::shared_ptr<Worker> m_worker;
    mutable std::thread m_thread;
    mutable bool m_abandoned = false; // the last call was given up on
};

} // namespace setup
