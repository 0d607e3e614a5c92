#include "monitor/ArrivedNames.h"

#include <algorithm>
#include <string_view>

namespace monitor {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether `a` sorts before `b` with each run of digits taken as its number ("伝票_9" before
// "伝票_10"); bytes otherwise. No lead or trail byte of code page 932 or UTF-8 is an ASCII digit.
bool numberedBefore(std::string_view a, std::string_view b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const std::size_t aStart = i;
            const std::size_t bStart = j;
            while (i < a.size() && isDigit(a[i]))
                ++i;
            while (j < b.size() && isDigit(b[j]))
                ++j;
            std::string_view aNumber = a.substr(aStart, i - aStart);
            std::string_view bNumber = b.substr(bStart, j - bStart);
            aNumber.remove_prefix(std::min(aNumber.find_first_not_of('0'), aNumber.size()));
            bNumber.remove_prefix(std::min(bNumber.find_first_not_of('0'), bNumber.size()));
            if (aNumber.size() != bNumber.size())
                return aNumber.size() < bNumber.size();
            if (aNumber != bNumber)
                return aNumber < bNumber;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    // Equal as numbers (伝票_01, 伝票_1): the bytes decide, so that the order is total.
    return i == a.size() && j == b.size() ? a < b : i == a.size();
}

} // namespace

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
        if (a->second.firstListing != b->second.firstListing)
            return a->second.firstListing > b->second.firstListing;
        return numberedBefore(b->first, a->first);
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
