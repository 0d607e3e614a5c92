#include "setup/FolderChain.h"

#include "common/ByteText.h"

#include <string>

namespace setup {

bool createFolderChain(platform::System& system, std::string_view path)
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
    return createFolderChain(system, parent) && system.createDirectory(std::string(remaining));
}

} // namespace setup
