#include "setup/FolderChain.h"

#include "common/ByteText.h"

#include <string>

namespace setup {

namespace {

// The walk both the creation and its forecast take: up to the first level that needs no making,
// then `make` on each missing level from the top down. False when the walk runs out of parents
// (a relative path whose first folder is missing) or `make` fails.
template <typename Make> bool walkChain(const platform::System& system, std::string_view path, const Make& make)
{
    if (path.empty())
        return false;
    const ansi::PathStyle style = system.pathStyle();
    const std::string_view remaining = ansi::withoutTrailingSeparator(path, style, system.codePage());
    if (remaining.size() < 3 || system.entryKind(std::string(remaining)) == platform::EntryKind::Directory)
        return true;

    const std::string_view parent = ansi::parentPart(remaining, style, system.codePage());
    if (parent == remaining)
        return true;
    // The directory itself is not attempted when its parent could not be made.
    return walkChain(system, parent, make) && make(std::string(remaining));
}

} // namespace

bool createFolderChain(platform::System& system, std::string_view path)
{
    return walkChain(system, path, [&](const std::string& level) { return system.createDirectory(level); });
}

ChainRefusal chainRefusal(const platform::System& system, std::string_view path)
{
    // No system expands "~": a folder of that name would be made in the working directory.
    if (!path.empty() && path.front() == '~')
        return ChainRefusal::TypedHome;
    // A name with no folder before it (two bytes are too short for the walk to tell) is never made.
    const ansi::PathStyle style = system.pathStyle();
    const std::string_view last = ansi::withoutTrailingSeparator(path, style, system.codePage());
    if (ansi::parentPart(last, style, system.codePage()).empty() ||
        !walkChain(system, path, [](const std::string&) { return true; }))
        return ChainRefusal::RelativeStart;
    return ChainRefusal::None;
}

} // namespace setup
