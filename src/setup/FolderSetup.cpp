#include "setup/FolderSetup.h"

#include "common/BoundedCall.h"
#include "common/ByteText.h"
#include "common/Texts.h"
#include "settings/SettingsFile.h"
#include "setup/FolderChain.h"

namespace setup {

namespace {

bool isDirectory(const platform::System& system, const std::string& path)
{
    return system.entryKind(path) == platform::EntryKind::Directory;
}

void warn(SetupView& view, std::string_view text)
{
    view.showMessageBox(std::string(text), MessageKind::Warning, buttons::yes);
}

} // namespace

void displayRoutine(const platform::System& system, SetupView& view)
{
    const std::string path = settings::settingsPath(system);
    if (!settings::settingsPresent(system, path)) {
        warn(view, texts::noFolderGiven);
        return;
    }
    view.setFolderLabel(std::string(ansi::trimControls(settings::readWatchedFolder(system, path))));
}

void changeCommand(platform::System& system, SetupView& view)
{
    const std::string entry(ansi::trimControls(view.entryText()));
    if (entry.empty()) {
        warn(view, texts::noFolderGiven);
        return;
    }
    // A line break or NUL pasted into the field would split the settings file's line.
    if (entry.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
        warn(view, texts::invalidCharacters);
        return;
    }

    if (!isDirectory(system, entry)) {
        // A name no answer could make is not offered for creation: the box says why.
        if (const ChainRefusal refusal = chainRefusal(system, entry); refusal != ChainRefusal::None) {
            const std::string_view why =
                refusal == ChainRefusal::TypedHome ? texts::cannotCreateTypedHome : texts::cannotCreateRelative;
            view.showMessageBox(std::string(texts::cannotCreate) + entry + "\r\n\r\n" + std::string(why),
                                MessageKind::Warning, buttons::yes);
            return;
        }
        // Yes and closing the box by its title bar both go on; only No ends here.
        if (view.showMessageBox(std::string(texts::createQuestion), MessageKind::Warning, buttons::yes | buttons::no) ==
            results::no)
            return;
        // A short name counts as created without being made: only a folder that now exists is.
        if (!createFolderChain(system, entry) || !isDirectory(system, entry)) {
            view.showMessageBox(std::string(texts::creationFailed) + entry, MessageKind::Error, buttons::yes);
            return;
        }
        view.showMessageBox(std::string(texts::created) + entry, MessageKind::Confirmation, buttons::yes);
    }

    settings::storeWatchedFolder(system, settings::settingsPath(system), entry);
    view.folderStored();
    view.setFolderLabel(entry);
    view.showMessageBox(std::string(texts::storedBefore) + entry + std::string(texts::storedAfter),
                        MessageKind::Information, buttons::yes);
}

std::string pickerStartFolder(const std::shared_ptr<platform::System>& system, const std::string& folder,
                              WindowLoop& loop)
{
    if (folder.empty())
        return {};
    const ansi::BoundedCall<bool> isFolder(
        [system, folder] { return system->entryKind(folder) == platform::EntryKind::Directory; });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    // A window closed meanwhile opens no picker.
    if (!isFolder.answer() &&
        !loop.runUntil([&] { return isFolder.answer().has_value() || std::chrono::steady_clock::now() >= deadline; }))
        throw CommandAbandoned();
    return isFolder.answer().value_or(false) ? folder : std::string();
}

} // namespace setup
