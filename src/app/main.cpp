#include "app/Unit1.h"
#include "common/ByteText.h"
#include "platform/System.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // Shared with the checks and calls still under way when the tool ends: one that hangs on a
    // folder that stopped answering ends with the process, never on a freed system.
    const std::shared_ptr<platform::System> system = platform::createSystem(argc > 0 ? argv[0] : "kelvoran");
    const std::string title =
        ansi::defaultApplicationTitle(system->executablePath(), system->pathStyle(), system->codePage());

    // The tool takes no arguments: Qt must not see any either, or its own options would
    // change the window.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    QApplication::setWindowIcon(app::applicationIcon());

    app::TForm1 form(system, title);
    app::showMainWindow(form, system->startupShowCommand());
    return QApplication::exec();
}
