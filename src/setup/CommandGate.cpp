#include "setup/CommandGate.h"

#include <utility>

namespace setup {

bool CommandGate::run(const std::function<void()>& command)
{
    if (m_running)
        return false;
    {
        // Free again on every way out: a command that throws is over too.
        struct Running
        {
            bool& flag;
            explicit Running(bool& running) : flag(running) { flag = true; }
            ~Running() { flag = false; }
            Running(const Running&) = delete;
            Running& operator=(const Running&) = delete;
        } running(m_running);
        command();
    }
    if (m_waiting)
        run(std::exchange(m_waiting, nullptr));
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
