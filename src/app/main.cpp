#include "app/Unit1.h"
#include "common/ByteText.h"
#include "platform/System.h"
#include "setup/CommandLine.h"

#include <QApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <utility>

namespace {

// Hands a later start's ask to bring the window up to the window's thread. An ask that comes
// before the window exists waits for it.
class RaiseRelay
{
public:
    void raise()
    {
        const std::lock_guard lock(m_mutex);
        if (m_form != nullptr)
            QMetaObject::invokeMethod(m_form, &app::TForm1::bringToFront, Qt::QueuedConnection);
        else
            m_waiting = true;
    }

    void attach(app::TForm1* form)
    {
        const std::lock_guard lock(m_mutex);
        m_form = form;
        if (form != nullptr && std::exchange(m_waiting, false))
            QMetaObject::invokeMethod(form, &app::TForm1::bringToFront, Qt::QueuedConnection);
    }

private:
    std::mutex m_mutex;
    app::TForm1* m_form = nullptr;
    bool m_waiting = false;
};

// Where the desktop menu's launcher keeps the setting, and the manual.
constexpr std::string_view linuxNotes =
    "Started from the desktop menu, it runs in $XDG_CONFIG_HOME/kelvoran (normally\n"
    "~/.config/kelvoran). See kelvoran(1).";

int print(std::FILE* stream, const std::string& text, int exitCode)
{
    std::fwrite(text.data(), 1, text.size(), stream);
    return std::fflush(stream) == 0 ? exitCode : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    // A tool started at login may have an error output that nobody reads any more: a library's
    // warning written there must not end it.
    std::signal(SIGPIPE, SIG_IGN);

    // The command line is answered before anything else: no display, no file, no claim.
    const std::string program = argc > 0 ? argv[0] : "kelvoran";
    const setup::CommandLine line = setup::parseCommandLine({argv + std::min(argc, 1), argv + argc});
    switch (line.action) {
    case setup::CommandLine::Action::Help:
        return print(stdout, setup::usageText(program, linuxNotes), setup::exitCodeFor(line));
    case setup::CommandLine::Action::Version:
        return print(stdout, setup::versionText(), setup::exitCodeFor(line));
    case setup::CommandLine::Action::Wrong:
        return print(stderr, setup::wrongArgumentText(program, line), setup::exitCodeFor(line));
    case setup::CommandLine::Action::Run:
        break;
    }

    // Shared with the checks and calls still under way when the tool ends: one that hangs on a
    // folder that stopped answering ends with the process, never on a freed system.
    const std::shared_ptr<platform::System> system = platform::createSystem(program, line.iconic);
    const std::string title =
        ansi::defaultApplicationTitle(system->executablePath(), system->pathStyle(), system->codePage());

    // One tool per settings folder, decided before any window: a copy already running there
    // brings its window up and this start ends. A folder that cannot be named runs unguarded.
    RaiseRelay relay;
    std::unique_ptr<platform::ToolClaim> claim;
    if (const platform::DirectoryName folder = system->currentDirectory(); folder.error == 0) {
        claim = system->claimSettingsFolder(folder.path, [&relay] { relay.raise(); });
        if (!claim)
            return 0;
    }

    // Qt sees no argument: its own options would change the window.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setWindowIcon(app::applicationIcon());

    app::TForm1 form(system, title);
    app::showMainWindow(form, system->startupShowCommand());
    relay.attach(&form);
    const int exitCode = QApplication::exec();
    // The folder is free again before the window's last writes are waited for: a start meanwhile
    // runs, rather than asking a window that goes to come up. No ask reaches the window after this.
    claim.reset();
    relay.attach(nullptr);
    return exitCode;
}
