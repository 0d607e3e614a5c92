#pragma once

namespace ansi {

// How paths are spelled on a system: the one separator that counts, and whether a drive
// part ending in ":" starts a path (Windows) or not (POSIX).
struct PathStyle
{
    char separator;
    bool hasDrives;

    [[nodiscard]] static constexpr PathStyle posix() { return {'/', false}; }
    [[nodiscard]] static constexpr PathStyle windows() { return {'\\', true}; }
};

} // namespace ansi
