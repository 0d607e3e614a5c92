#pragma once

#include "monitor/Reminders.h"

#include <cstddef>
#include <string>
#include <vector>

namespace monitor {

// One arrival of the day as the menu lists it.
struct TodaysArrival
{
    std::string time; // "14:32", local
    std::string name; // as the listing gave it
    friend bool operator==(const TodaysArrival&, const TodaysArrival&) = default;
};

// The arrivals seen today in the folder set now, newest first, at most `most`: what the menu
// shows once the notification is gone. In memory only. The local day's change and another folder
// start it over; a name that comes again goes to the top with its new time, never listed twice
// (the file was written anew: its latest arrival is the one to look at).
class TodaysArrivals
{
public:
    static constexpr std::size_t most = 20;

    // `folder` (as stored) answered: the list of another folder goes.
    void watch(const std::string& folder);
    // `names` arrived at `now`, newest first.
    void arrived(const std::vector<std::string>& names, const Moment& now);
    // The list as of `now`: empty once the local day has changed.
    [[nodiscard]] const std::vector<TodaysArrival>& list(const Moment& now);
    [[nodiscard]] const std::string& folder() const { return m_folder; }

private:
    void startDay(const Moment& now);

    std::vector<TodaysArrival> m_list;
    std::string m_folder;
    int m_date = 0;
};

// "14:32  name" for a menu: a line break or tab as a space (a tab would part the item's text), "&" doubled so that no
// menu takes it for an access key.
[[nodiscard]] std::string menuText(const TodaysArrival& arrival);

} // namespace monitor
