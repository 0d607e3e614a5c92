#pragma once

#include "monitor/ArrivedNames.h"
#include "monitor/StatusView.h"
#include "platform/System.h"
#include "settings/ChannelSettings.h"

#include <atomic>
#include <optional>
#include <string>
#include <vector>

namespace monitor {

// What one read of the settings file says: the watched folder as stored and with its separator
// (both empty when there is no settings file or no folder in it), and the channels' switches.
struct Setting
{
    std::string stored;
    std::string folder;
    settings::ChannelSettings channels;
};
[[nodiscard]] Setting readSetting(const platform::System& system);

// What one listing of `folder` (with its separator) found: its status, how many entries other
// than "." and ".." it holds, and its identity where the system tells it. `visited`, when given,
// counts the names passed so far, for another thread to see the listing go on. `names`, when
// given, keeps the folder's names across its listings, and `newest` tells the newest of them and
// `arrivals` its count of arrivals so far, counted on from `arrivalsFrom`. An entry whose name
// matches `leftOut` (see settings::matchesAny) is counted in `entries` and `leftOut` alone: it is
// neither kept in `names` nor counted as an arrival.
struct Listed
{
    Status status = Status::Watching;
    std::size_t entries = 0;
    std::optional<platform::FolderIdentity> identity;
    std::vector<std::string> newest;
    std::size_t arrivals = 0;
    std::size_t arrivalsFrom = 0;
    std::size_t leftOut = 0;
    bool whole = false; // every entry was passed
};
[[nodiscard]] Listed listFolder(const platform::System& system, const std::string& folder,
                                std::atomic<std::size_t>* visited = nullptr, ArrivedNames* names = nullptr,
                                std::string_view leftOut = {});

// Decides the status from scratch: reads the settings file, tests and lists the watched folder.
// nullopt when there is no settings file or no folder in it, and the status must stay as it is.
[[nodiscard]] std::optional<Status> pollStatus(const platform::System& system);

// Writes the status text into the view, in the order each status asks for.
void showStatus(Status status, StatusView& view);

// One tick of the poll: pollStatus, then showStatus when there is a status.
void pollArrival(const platform::System& system, StatusView& view);

} // namespace monitor
