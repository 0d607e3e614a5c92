#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace monitor {

// The names of one folder's entries, each with the listing that first saw it, so that a notice
// can name what arrived, newest first. A listing gives no times without a call per entry, so
// "newest" is the order the listings saw them come in; of names first seen by the same listing,
// the highest name first. Bounded: a listing that passes `mostNames` entries drops every name, and the next
// listing only counts (a huge folder costs one test a name, as before); names are kept again from
// the listing after one that finds the folder back under the bound, which names none of what it
// finds, only what comes after (it counts what came since the counting-only listing by the
// entries, as that listing did). Fed by one listing at a time.
//
// The arrivals are counted on from one listing to the next, whether the listing's answer is used
// or not: a listing that fails or is dropped has seen its new names, and the next one will not.
class ArrivedNames
{
public:
    // `countedBefore`: where the count starts, the count of the folder watched before, so that
    // the count of a check never goes back.
    explicit ArrivedNames(std::size_t countedBefore = 0) : m_countedFrom(countedBefore), m_arrivals(countedBefore) {}

    static constexpr std::size_t mostNames = 10000;
    // How many a notice names; the rest it counts.
    static constexpr std::size_t namesTold = 3;

    void listingStarts();
    // Inline: a listing that keeps no names pays one test a name.
    void visit(std::string_view name)
    {
        if (m_keeping)
            keep(name);
    }
    // `complete`: every entry was passed (a listing that failed part way forgets nobody);
    // `entries`: how many it passed.
    void listingEnds(bool complete, std::size_t entries);
    // The folder is gone: whatever comes back in it is new.
    void forget();

    // Entries any listing found that the complete listing before it did not, counted since
    // `countedFrom`.
    [[nodiscard]] std::size_t arrivals() const { return m_arrivals; }
    [[nodiscard]] std::size_t countedFrom() const { return m_countedFrom; }

    // Up to `count` names, newest first; none while the names are not kept.
    [[nodiscard]] std::vector<std::string> newest(std::size_t count) const;

private:
    void keep(std::string_view name);

    struct Seen
    {
        std::uint64_t firstListing = 0; // 0: there before the names were kept again
        std::uint64_t lastListing = 0;
    };
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>()(name); }
    };

    std::unordered_map<std::string, Seen, Hash, std::equal_to<>> m_names;
    std::uint64_t m_listing = 0;
    std::size_t m_passed = 0;
    std::size_t m_countedFrom;
    std::size_t m_arrivals;
    std::size_t m_named = 0;                  // arrivals counted by name since the last complete listing
    std::optional<std::size_t> m_lastEntries; // of the last complete listing
    bool m_namesBased = false;                // the names of a complete listing are held
    bool m_keeping = false;                   // this listing keeps the names
    bool m_overLimit = false;                 // the last complete listing passed the bound
};

} // namespace monitor
