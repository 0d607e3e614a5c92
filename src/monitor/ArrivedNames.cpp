#include "monitor/ArrivedNames.h"

#include <algorithm>
#include <tuple>

namespace monitor {

void ArrivedNames::listingStarts()
{
    ++m_listing;
    m_passed = 0;
    m_keeping = !m_overLimit;
}

void ArrivedNames::keep(std::string_view name)
{
    if (++m_passed > mostNames) {
        m_keeping = false;
        m_overLimit = true;
        m_namesBased = false;
        m_names.clear();
        return;
    }
    const auto found = m_names.find(name);
    if (found != m_names.end())
        found->second.lastListing = m_listing;
    else {
        if (m_namesBased) {
            ++m_arrivals;
            ++m_named;
        }
        // Back under the bound: what the gap let in is no news, and is never named.
        m_names.emplace(std::string(name), Seen{m_namesBased || !m_lastEntries ? m_listing : 0, m_listing});
    }
}

void ArrivedNames::listingEnds(bool complete, std::size_t entries)
{
    if (!complete)
        return;
    if (m_keeping)
        std::erase_if(m_names, [&](const auto& entry) { return entry.second.lastListing != m_listing; });
    // Without the names of the listing before, a folder that grew had arrivals; those named
    // before the bound dropped them are among them.
    if ((!m_keeping || !m_namesBased) && m_lastEntries && entries > *m_lastEntries + m_named)
        m_arrivals += entries - *m_lastEntries - m_named;
    m_namesBased = m_keeping;
    // Counted by name since the last complete listing: a listing that failed after the bound
    // dropped the names leaves its count to the next.
    m_named = 0;
    m_lastEntries = entries;
    m_overLimit = entries > mostNames;
}

void ArrivedNames::forget()
{
    m_names.clear();
    m_overLimit = false;
    m_namesBased = false;
    m_named = 0;
    m_lastEntries.reset();
}

std::vector<std::string> ArrivedNames::newest(std::size_t count) const
{
    using Entry = std::unordered_map<std::string, Seen>::value_type;
    std::vector<const Entry*> newest;
    // A listing's order is the file system's (a hash order on most): names first seen by one
    // listing go highest first, as a burst of numbered files was most likely written.
    const auto newer = [](const Entry* a, const Entry* b) {
        return std::tie(b->second.firstListing, b->first) < std::tie(a->second.firstListing, a->first);
    };
    for (const Entry& entry : m_names) {
        if (entry.second.firstListing == 0)
            continue;
        if (newest.size() < count) {
            newest.insert(std::upper_bound(newest.begin(), newest.end(), &entry, newer), &entry);
        } else if (count > 0 && newer(&entry, newest.back())) {
            newest.pop_back();
            newest.insert(std::upper_bound(newest.begin(), newest.end(), &entry, newer), &entry);
        }
    }
    std::vector<std::string> names;
    for (const Entry* entry : newest)
        names.push_back(entry->first);
    return names;
}

} // namespace monitor
