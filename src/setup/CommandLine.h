#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace setup {

// What the command line asks of a start.
struct CommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Wrong, // an option not understood, or an argument where the tool takes none
    };
    Action action = Action::Run;
    bool iconic = false; // -iconic: start minimised, as the X toolkit's programs do
    std::string wrong;   // the argument not understood
};

// Reads the arguments that follow the program's name. The first of --help (-h, /?), --version or a wrong
// argument decides; -iconic may stand anywhere, and "-session <name>", which an X session manager
// adds when it restores the tool, is let be.
[[nodiscard]] CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// The texts a start prints in place of running, each ending in a line feed. `program` is the
// name the tool was started by; `manual` tells where the manual is on the system.
[[nodiscard]] std::string usageText(std::string_view program, std::string_view manual);
[[nodiscard]] std::string versionText();
[[nodiscard]] std::string wrongArgumentText(std::string_view program, const CommandLine& line);

// What each of them leaves as the process's exit code: 2 for a wrong argument, as usage
// errors do, else 0.
[[nodiscard]] int exitCodeFor(const CommandLine& line);

} // namespace setup
