#pragma once

#include <functional>

namespace setup {

// One command at a time for a window: the change command, the menu's switches and the display
// routine each wait for the disk with the window answering, so a second command may be asked for
// meanwhile. It is let go, except the display routine (asked for by the window's first showing),
// which waits until the command under way has ended. Both front ends keep one; it knows nothing
// of what the commands do.
class CommandGate
{
public:
    // Runs `command` now, unless another command runs: then false, and nothing runs.
    bool run(const std::function<void()>& command);
    // Runs `command` now, or as soon as the command under way has ended; one waits at a time, a
    // later one taking its place.
    void runWhenFree(std::function<void()> command);
    [[nodiscard]] bool running() const { return m_running; }

private:
    bool m_running = false;
    std::function<void()> m_waiting;
};

} // namespace setup
