#include "monitor/TodaysArrivals.h"

#include "common/Texts.h"
#include "settings/ChannelSettings.h"

#include <algorithm>

namespace monitor {

void TodaysArrivals::watch(const std::string& folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    m_list.clear();
}

void TodaysArrivals::startDay(const Moment& now)
{
    if (now.date == m_date)
        return;
    m_date = now.date;
    m_list.clear();
}

void TodaysArrivals::arrived(const std::vector<std::string>& names, const Moment& now)
{
    startDay(now);
    const std::string time = settings::timeOfDayText(now.minuteOfDay);
    // Oldest first, each put on top: the newest ends up first.
    for (auto name = names.rbegin(); name != names.rend(); ++name) {
        std::erase_if(m_list, [&](const TodaysArrival& arrival) { return arrival.name == *name; });
        m_list.insert(m_list.begin(), {time, *name});
    }
    if (m_list.size() > most)
        m_list.resize(most);
}

const std::vector<TodaysArrival>& TodaysArrivals::list(const Moment& now)
{
    startDay(now);
    return m_list;
}

std::string menuText(const TodaysArrival& arrival)
{
    std::string text = arrival.time + std::string(texts::todayTimeSeparator);
    for (const char c : arrival.name) {
        if (c == '&')
            text += "&&";
        else
            text += c == '\n' || c == '\r' || c == '\t' ? ' ' : c;
    }
    return text;
}

} // namespace monitor
