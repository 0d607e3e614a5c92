#include "monitor/ArrivalPoll.h"

#include "common/ByteText.h"
#include "common/Texts.h"
#include "monitor/TodaysArrivals.h"
#include "settings/Ini.h"
#include "settings/NamePatterns.h"
#include "settings/SettingsFile.h"

#include <algorithm>

namespace monitor {

namespace {

// Counts the entries other than "." and "..". It does not stop the listing at the
// first hit: the walk always runs to the end, so every tick costs the same and the directory
// handle is always released by the platform layer after a full pass.
class EntryCount : public platform::EntryVisitor
{
public:
    EntryCount(std::atomic<std::size_t>* visited, ArrivedNames* names, std::string_view leftOut,
               const platform::System& system)
        : m_visited(visited), m_names(names), m_leftOutPatterns(leftOut), m_system(system)
    {}
    void identify(const platform::FolderIdentity& identity) override { m_identity = identity; }
    void visit(std::string_view name) override
    {
        if (name != "." && name != "..") {
            ++m_entries;
            if (!m_leftOutPatterns.empty() &&
                settings::matchesAny(m_leftOutPatterns, name, m_system.codePage(), m_system.pathStyle()))
                ++m_leftOut;
            else if (m_names != nullptr)
                m_names->visit(name);
        }
        // A store, not an increment: only this thread writes it.
        if (m_visited != nullptr)
            m_visited->store(++m_passed, std::memory_order_relaxed);
    }
    [[nodiscard]] std::size_t entries() const { return m_entries; }
    [[nodiscard]] std::size_t leftOut() const { return m_leftOut; }
    [[nodiscard]] const std::optional<platform::FolderIdentity>& identity() const { return m_identity; }

private:
    std::size_t m_entries = 0;
    std::size_t m_leftOut = 0;
    std::size_t m_passed = 0;
    std::atomic<std::size_t>* m_visited;
    ArrivedNames* m_names;
    std::string_view m_leftOutPatterns;
    const platform::System& m_system;
    std::optional<platform::FolderIdentity> m_identity;
};

} // namespace

Setting readSetting(const platform::System& system)
{
    // A missing settings file reads as empty, like one without the key: the tick then changes
    // nothing. Reading it directly spares a separate presence test on every tick.
    const std::optional<std::string> content = settings::readSettings(system, settings::settingsPath(system));
    if (!content)
        return {};
    Setting setting;
    setting.channels = settings::parseChannelSettings(*content, system.codePage());
    // The value is used as read, without trimming it again.
    setting.stored = settings::readIniValue(*content, texts::settingsSection, texts::settingsKey, system.codePage());
    if (!setting.stored.empty())
        setting.folder = ansi::withTrailingSeparator(setting.stored, system.pathStyle(), system.codePage());
    return setting;
}

Listed listFolder(const platform::System& system, const std::string& folder, std::atomic<std::size_t>* visited,
                  ArrivedNames* names, std::string_view leftOut)
{
    EntryCount count(visited, names, leftOut, system);
    if (names != nullptr)
        names->listingStarts();
    const platform::Listing listing = system.listDirectory(folder, count);
    Listed listed;
    if (names != nullptr) {
        if (listing == platform::Listing::NotADirectory)
            names->forget();
        names->listingEnds(listing == platform::Listing::Listed, count.entries() - count.leftOut());
        // As many as the day's list keeps: the notice tells the first of them.
        listed.newest = names->newest(std::max(ArrivedNames::namesTold, TodaysArrivals::most));
        listed.arrivals = names->arrivals();
        listed.arrivalsFrom = names->countedFrom();
    }
    // A folder that exists but cannot be listed reads as watching; one whose listing failed part
    // way holds what it showed before failing.
    listed.status = listing == platform::Listing::NotADirectory ? Status::NoFolder
                    : count.entries() > 0                       ? Status::Arrival
                                                                : Status::Watching;
    listed.entries = count.entries();
    listed.leftOut = count.leftOut();
    listed.identity = count.identity();
    listed.whole = listing == platform::Listing::Listed;
    return listed;
}

std::optional<Status> pollStatus(const platform::System& system)
{
    const std::string folder = readSetting(system).folder;
    if (folder.empty())
        return std::nullopt;
    return listFolder(system, folder).status;
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
