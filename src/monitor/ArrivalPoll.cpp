#include "monitor/ArrivalPoll.h"

#include "common/ByteText.h"
#include "common/Texts.h"
#include "settings/SettingsFile.h"

namespace monitor {

namespace {

// Notes whether any entry other than "." and ".." went by. It does not stop the listing at the
// first hit: the walk always runs to the end, so every tick costs the same and the directory
// handle is always released by the platform layer after a full pass.
class ArrivalFlag : public platform::EntryVisitor
{
public:
    void identify(const platform::FolderIdentity& identity) override { m_identity = identity; }
    void visit(std::string_view name) override
    {
        if (name != "." && name != "..")
            m_arrived = true;
    }
    [[nodiscard]] bool arrived() const { return m_arrived; }
    [[nodiscard]] const std::optional<platform::FolderIdentity>& identity() const { return m_identity; }

private:
    bool m_arrived = false;
    std::optional<platform::FolderIdentity> m_identity;
};

} // namespace

std::string watchedFolder(const platform::System& system)
{
    // A missing settings file reads as empty, like one without the key: the tick then changes
    // nothing. Reading it directly spares a separate presence test on every tick.
    // The value is used as read, without trimming it again.
    const std::string stored = settings::readWatchedFolder(system, settings::settingsPath(system));
    if (stored.empty())
        return {};
    return ansi::withTrailingSeparator(stored, system.pathStyle(), system.codePage());
}

Status folderStatus(const platform::System& system, const std::string& folder,
                    std::optional<platform::FolderIdentity>* identity)
{
    ArrivalFlag flag;
    const platform::Listing listing = system.listDirectory(folder, flag);
    if (identity != nullptr)
        *identity = flag.identity();
    switch (listing) {
    case platform::Listing::NotADirectory:
        return Status::NoFolder;
    case platform::Listing::Unlistable:
        // A folder that exists but cannot be listed reads as watching; one whose listing
        // failed part way holds what it showed before failing.
        return flag.arrived() ? Status::Arrival : Status::Watching;
    case platform::Listing::Listed:
        break;
    }
    return flag.arrived() ? Status::Arrival : Status::Watching;
}

std::optional<Status> pollStatus(const platform::System& system)
{
    const std::string folder = watchedFolder(system);
    if (folder.empty())
        return std::nullopt;
    return folderStatus(system, folder);
}

void showStatus(Status status, StatusView& view)
{
    // The missing folder goes to the caption first; the other two go to the taskbar text first,
    // the text a minimised user is watching.
    switch (status) {
    case Status::NoFolder:
        view.setCaption(std::string(texts::statusNoFolder));
        view.setApplicationTitle(std::string(texts::statusNoFolder));
        break;
    case Status::Arrival:
        view.setApplicationTitle(std::string(texts::statusArrival));
        view.setCaption(std::string(texts::statusArrival));
        break;
    case Status::Watching:
        view.setApplicationTitle(std::string(texts::statusWatching));
        view.setCaption(std::string(texts::statusWatching));
        break;
    }
}

void pollArrival(const platform::System& system, StatusView& view)
{
    if (const std::optional<Status> status = pollStatus(system))
        showStatus(*status, view);
}

} // namespace monitor
