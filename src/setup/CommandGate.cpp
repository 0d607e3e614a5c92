#include "setup/CommandGate.h"

#include <utility>

namespace setup {

bool CommandGate::run(const std::function<void()>& command)
{
    if (m_running)
        return false;
    const auto ended = [this] {
        m_running = false;
        if (m_waiting)
            run(std::exchange(m_waiting, nullptr));
    };
    m_running = true;
    try {
        command();
    } catch (...) {
        // A command that throws is over too: the one waiting runs, then the failure goes on.
        ended();
        throw;
    }
    ended();
    return true;
}

void CommandGate::runWhenFree(std::function<void()> command)
{
    if (m_running)
        m_waiting = std::move(command);
    else
        run(command);
}

} // namespace setup
