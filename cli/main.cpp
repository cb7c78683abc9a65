// varnel-cli: the player's database on the command line, for scripts and machines without a
// desktop. Data goes to standard output, messages to standard error, one line each.
#include "CliError.h"
#include "ListCommands.h"
#include "PlayerDatabase.h"

#include <CLI/CLI.hpp>

#include <clocale>
#include <iostream>
#include <optional>
#include <string>

namespace {

struct Options {
    std::string Path;
    std::string Playlist;
    int Limit = -1;
    std::string Format = "table";
};

void AddPathOption(CLI::App& command, Options& options)
{
    command.add_option("PATH", options.Path, "the player's mount point, or a database file (iTunesDB or iTunesCDB)")
        ->required();
}

CLI::Option* AddPlaylistOption(CLI::App& command, Options& options)
{
    return command.add_option("--playlist", options.Playlist,
                              "the playlist whose tracks to take (default: the master playlist, every track)");
}

void AddLimitOption(CLI::App& command, Options& options)
{
    command.add_option("--limit", options.Limit, "read at most the first N tracks of the database (default: all)")
        ->check(CLI::NonNegativeNumber)
        ->type_name("N");
}

void AddFormatOption(CLI::App& command, std::string& format)
{
    command.add_option("--format", format, "table (default), csv (UTF-8) or json")
        ->check(CLI::IsMember({"table", "csv", "json"}))
        ->type_name("FORMAT");
}

OutputFormat FormatNamed(const std::string& name)
{
    return name == "csv" ? OutputFormat::Csv : name == "json" ? OutputFormat::Json : OutputFormat::Table;
}

std::optional<std::string> Given(const CLI::Option* option, const std::string& value)
{
    return option->count() > 0 ? std::optional<std::string>(value) : std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    // Table widths ask wcwidth, which knows character widths only in a UTF-8 locale.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    std::ios::sync_with_stdio(false);

    CLI::App app("Lists the tracks and playlists of a classic iPod, copies its tracks under readable names "
                 "and exports its track list.",
                 "varnel-cli");
    app.set_version_flag("--version", "varnel-cli " VARNEL_VERSION);
    app.require_subcommand(1);

    Options options;

    CLI::App* tracks = app.add_subcommand("tracks", "list the tracks of the master playlist or of one playlist");
    AddPathOption(*tracks, options);
    CLI::Option* tracksPlaylist = AddPlaylistOption(*tracks, options);
    AddLimitOption(*tracks, options);
    AddFormatOption(*tracks, options.Format);

    CLI::App* playlists = app.add_subcommand("playlists", "list the playlists with their item counts, the master marked");
    AddPathOption(*playlists, options);
    AddFormatOption(*playlists, options.Format);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e); // --help, --version
        std::cerr << "varnel-cli: " << e.what() << " (see varnel-cli --help)\n";
        return ExitBadInput;
    }

    int code = ExitDone;
    try {
        if (tracks->parsed()) {
            const PlayerDatabase db = OpenPlayerDatabase(options.Path, options.Limit);
            const OnePlaylist* playlist = ChoosePlaylist(*db.Parser, Given(tracksPlaylist, options.Playlist));
            PrintTracks(std::cout, PlaylistRows(*db.Parser, playlist), FormatNamed(options.Format));
        } else if (playlists->parsed()) {
            const PlayerDatabase db = OpenPlayerDatabase(options.Path, -1);
            PrintPlaylists(std::cout, *db.Parser, FormatNamed(options.Format));
        }
    } catch (const CliError& e) {
        std::cerr << "varnel-cli: " << e.what() << '\n';
        code = e.GetCode();
    } catch (const std::exception& e) {
        std::cerr << "varnel-cli: " << e.what() << '\n';
        code = ExitBadInput;
    }
    if (!std::cout.flush()) {
        std::cerr << "varnel-cli: cannot write to standard output\n";
        code = ExitBadInput;
    }
    return code;
}
