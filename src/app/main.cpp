#include "app/QtTranslations.h"
#include "app/Unit1.h"
#include "common/ByteText.h"
#include "common/Texts.h"
#include "platform/System.h"
#include "setup/CommandLine.h"

#include <QApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <mutex>
#include <unistd.h>
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

// The write end of the pipe that carries an ending signal to the window's thread.
volatile std::sig_atomic_t endSignalPipe = -1;

constexpr int endingSignals[] = {SIGTERM, SIGINT, SIGHUP};
// Which of them the tool handles; set before any handler is.
bool endingHandled[std::size(endingSignals)] = {};

// Only async-signal-safe calls here and in what it calls.
void endAtOnceOnSignals()
{
    struct sigaction action
    {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(endingSignals); ++i) {
        if (endingHandled[i])
            ::sigaction(endingSignals[i], &action, nullptr);
    }
}

extern "C" void onEndSignal(int number)
{
    const int saved = errno;
    // Whichever comes next ends a tool that this one found stuck at once.
    endAtOnceOnSignals();
    const auto byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(endSignalPipe, &byte, 1);
    errno = saved;
}

// SIGTERM, SIGINT and SIGHUP end the tool as 終了 does, on the window's thread: the notification
// withdrawn, the claim released, the last writes waited for. Only the first is handled so: a
// second one ends a tool that the first found stuck at once.
class EndSignals
{
public:
    explicit EndSignals(app::TForm1& window)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return; // they end the tool at once, as they always could
        m_read = fds[0];
        endSignalPipe = fds[1];
        m_notifier = std::make_unique<QSocketNotifier>(m_read, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &window, [this, &window] {
            m_notifier->setEnabled(false);
            m_received = true;
            endAtOnceOnSignals();
            // Closed when hidden too, where its close would not end the loop by itself.
            if (window.endTool())
                QCoreApplication::quit();
        });
        struct sigaction action
        {};
        action.sa_handler = onEndSignal;
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        sigemptyset(&action.sa_mask);
        // One ignored by whoever started the tool (nohup, a background job) stays ignored.
        for (std::size_t i = 0; i < std::size(endingSignals); ++i) {
            struct sigaction inherited
            {};
            endingHandled[i] =
                ::sigaction(endingSignals[i], nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN;
        }
        for (std::size_t i = 0; i < std::size(endingSignals); ++i) {
            if (endingHandled[i])
                ::sigaction(endingSignals[i], &action, nullptr);
        }
    }
    EndSignals(const EndSignals&) = delete;
    EndSignals& operator=(const EndSignals&) = delete;
    ~EndSignals()
    {
        if (m_read < 0)
            return;
        endAtOnceOnSignals();
        const int pipeEnd = endSignalPipe;
        endSignalPipe = -1;
        ::close(pipeEnd);
        ::close(m_read);
    }

    // One came: before the event loop runs (in the start's box), quitting it is too early.
    [[nodiscard]] bool received() const { return m_received; }

private:
    int m_read = -1;
    bool m_received = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
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
        // Said only to a terminal: started from a menu, nobody would read it.
        if (!claim)
            return ::isatty(STDERR_FILENO) == 1
                       ? print(stderr, std::string(texts::secondStartRaised) + folder.path + "\n", 0)
                       : 0;
    }

    // Qt sees no argument: its own options would change the window.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setWindowIcon(app::applicationIcon());
    const std::unique_ptr<QTranslator> qtTranslations = app::installQtTranslations();

    app::TForm1 form(system, title);
    const EndSignals endSignals(form);
    app::showMainWindow(form, system->startupShowCommand());
    relay.attach(&form);
    const int exitCode = endSignals.received() ? 0 : QApplication::exec();
    // The folder is free again before the window's last writes are waited for: a start meanwhile
    // runs, rather than asking a window that goes to come up. No ask reaches the window after this.
    claim.reset();
    relay.attach(nullptr);
    return exitCode;
}
