// Kelvoran as it was before the folder watch: the same window and checking thread, with the
// system's change notification left out, so every arrival waits for the one-second tick. The
// latency and CPU figures set it beside the real tool in the same run.
#include "app/Unit1.h"
#include "common/ByteText.h"
#include "platform/posix/PosixSystem.h"

#include <QApplication>

namespace {

class TickOnlySystem : public platform::PosixSystem
{
public:
    using PosixSystem::PosixSystem;
    [[nodiscard]] std::unique_ptr<platform::FolderWatch> watchFolder(const std::string& /*path*/,
                                                                     std::function<void()> /*changed*/) const override
    {
        return nullptr;
    }
};

} // namespace

int main(int /*argc*/, char* argv[])
{
    const auto system = std::make_shared<TickOnlySystem>("kelvoran");
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    app::TForm1 form(system, "kelvoran");
    app::showMainWindow(form, platform::showCommands::normal);
    return QApplication::exec();
}
