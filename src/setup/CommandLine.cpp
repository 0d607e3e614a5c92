#include "setup/CommandLine.h"

#include "common/Texts.h"

namespace setup {

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (auto argument = arguments.begin(); argument != arguments.end(); ++argument) {
        if (*argument == "-iconic") {
            line.iconic = true;
        } else if (*argument == "-session" && argument + 1 != arguments.end()) {
            // An X session manager restores the tools it saved with their session's name.
            ++argument;
        } else if (line.action != CommandLine::Action::Run) {
            continue;
        } else if (*argument == "--help" || *argument == "-h" || *argument == "/?") {
            // "/?" as Windows programs take it; no path a start is given can read so.
            line.action = CommandLine::Action::Help;
        } else if (*argument == "--version") {
            line.action = CommandLine::Action::Version;
        } else {
            line.action = CommandLine::Action::Wrong;
            line.wrong = *argument;
        }
    }
    return line;
}

std::string usageText(std::string_view program, std::string_view manual)
{
    std::string text = "Usage: ";
    text.append(program).append(texts::usageOptions);
    text.append(texts::usageBody).append(manual).append("\n");
    return text;
}

std::string versionText()
{
    return std::string(texts::windowCaption) + " " + KELVORAN_VERSION + "\n";
}

std::string wrongArgumentText(std::string_view program, const CommandLine& line)
{
    const bool option = !line.wrong.empty() && line.wrong.front() == '-';
    std::string text(program);
    text.append(option ? ": unknown option '" : ": unexpected argument '").append(line.wrong).append("'\n");
    text.append("Try '").append(program).append(" --help' for more information.\n");
    return text;
}

int exitCodeFor(const CommandLine& line)
{
    return line.action == CommandLine::Action::Wrong ? 2 : 0;
}

} // namespace setup
