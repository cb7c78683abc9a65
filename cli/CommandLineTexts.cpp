#include "CommandLineTexts.h"

#include <algorithm>

namespace {

constexpr std::string_view kBugReports = "https://varnel.example.org/issues";

} // namespace

std::string VersionText(std::string_view version)
{
    return "varnel-cli " + std::string(version) +
           "\n"
           "Copyright (C) 2026 Mardle Works.\n"
           "Licence: GNU General Public License, version 3 or later <https://www.gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.";
}

std::string HelpFooter(std::string_view command)
{
    std::string examples;
    if (command.empty() || command == "tracks")
        examples += "  varnel-cli tracks /media/IPOD --search \"abbey road\"\n"
                    "  varnel-cli tracks /media/IPOD --artist beatles --format json | jq '.[].title'\n";
    if (command.empty() || command == "playlists")
        examples += "  varnel-cli playlists /media/IPOD\n";
    if (command.empty() || command == "extract")
        examples += "  varnel-cli extract /media/IPOD ~/Music/iPod --playlists \\\n"
                    "      --template \"%albumartist%/%album%/%disc%-%tracknumber:2% %title%\"\n"
                    "  varnel-cli extract /media/IPOD ~/Music --artist \"pink floyd\" --overwrite never --dry-run\n";
    if (command.empty() || command == "export")
        examples += "  varnel-cli export /media/IPOD ~/tracks.csv --playlist \"Road Trip\"\n"
                    "  varnel-cli export /media/IPOD - >>all-players.csv\n";
    if (command.empty() || command == "photos")
        examples += "  varnel-cli photos /media/IPOD --format json\n";
    if (command.empty() || command == "extract-photos")
        examples += "  varnel-cli extract-photos /media/IPOD ~/Pictures/iPod --album \"Summer 2007\"\n";
    return "Examples:\n" + examples +
           "\n"
           "Exit status:\n"
           "  0    everything asked for was done\n"
           "  1    some tracks or photos failed, the Photo Database is damaged, or the run was cancelled "
           "at the overwrite question\n"
           "  2    bad usage, unreadable input, or a run that cannot go on\n"
           "  129  ended by SIGHUP (the terminal closed)\n"
           "  130  ended by Ctrl+C (SIGINT)\n"
           "  143  ended by SIGTERM\n"
           "\n"
           "Report bugs at " + std::string(kBugReports);
}

std::optional<std::string> UnknownCommandMessage(const std::vector<std::string>& args,
                                                 const std::vector<std::string>& commands)
{
    for (const std::string& arg : args) {
        if (arg == "--")
            return std::nullopt;
        if (arg.empty() || arg.front() == '-')
            continue;
        if (std::find(commands.begin(), commands.end(), arg) != commands.end())
            return std::nullopt;
        std::string known;
        for (const std::string& command : commands)
            known += (known.empty() ? "" : ", ") + command;
        return "unknown command \"" + arg + "\"; the commands are " + known + " (see varnel-cli --help)";
    }
    return std::nullopt;
}
