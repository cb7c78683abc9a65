// varnel-cli: the player's database on the command line, for scripts and machines without a
// desktop. Data goes to standard output, messages to standard error, one line each.
#include "CliError.h"
#include "ExportCommand.h"
#include "ExtractCommand.h"
#include "ListCommands.h"
#include "PlayerFilesSource.h"

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
    std::string Destination;
    std::string FileFormat;
    std::string Overwrite;
    bool DryRun = false;
    bool FromFiles = false;
    std::string File;
};

void AddPathOption(CLI::App& command, Options& options)
{
    command.add_option("PATH", options.Path, "the player's mount point, or a database file (iTunesDB or iTunesCDB)")
        ->required();
}

void AddFromFilesFlag(CLI::App& command, Options& options)
{
    command.add_flag("--from-files", options.FromFiles,
                     "every media file of the player at PATH (its folder): from the database as far as it reads, "
                     "from the files' own tags for the rest");
}

// --playlist, --limit and --from-files: which rows of the track list a command takes.
CLI::Option* AddRowOptions(CLI::App& command, Options& options)
{
    AddFromFilesFlag(command, options);
    command.add_option("--limit", options.Limit, "read at most the first N tracks of the database (default: all)")
        ->check(CLI::NonNegativeNumber)
        ->type_name("N");
    return command
        .add_option("--playlist", options.Playlist, "the tracks of this playlist (default: the master playlist, every track)")
        ->type_name("NAME");
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
    app.footer("Exit status: 0 done, 1 some tracks failed, 2 bad usage or unreadable database.");

    Options options;

    CLI::App* tracks = app.add_subcommand("tracks", "list the tracks of the master playlist or of one playlist");
    AddPathOption(*tracks, options);
    const CLI::Option* tracksPlaylist = AddRowOptions(*tracks, options);
    AddFormatOption(*tracks, options.Format);

    CLI::App* playlists = app.add_subcommand("playlists", "list the playlists with their item counts, the master marked");
    AddPathOption(*playlists, options);
    AddFormatOption(*playlists, options.Format);
    AddFromFilesFlag(*playlists, options);

    CLI::App* extract = app.add_subcommand("extract", "copy the tracks into DEST under names built from a template");
    AddPathOption(*extract, options);
    extract->add_option("DEST", options.Destination, "the folder to copy into (made when missing)")->required();
    const CLI::Option* extractPlaylist = AddRowOptions(*extract, options);
    const CLI::Option* fileFormat =
        extract->add_option("--template", options.FileFormat,
                            "the copies' names, such as \"%artist%/%album%/%tracknumber% - %title%\"; "
                            "\"/\" makes folders (default: the template saved in Varnel's preferences)")
            ->type_name("T");
    const CLI::Option* overwrite =
        extract->add_option("--overwrite", options.Overwrite,
                            "when a copy already exists: replace it, keep it, or ask (default: as saved in "
                            "Varnel's preferences)")
            ->check(CLI::IsMember({"always", "never", "ask"}))
            ->type_name("MODE");
    extract->add_flag("--dry-run", options.DryRun, "show what would be copied where, and change nothing");

    CLI::App* exportList = app.add_subcommand("export", "write the track list as a UTF-16 CSV file, as the window exports it");
    AddPathOption(*exportList, options);
    exportList->add_option("FILE", options.File, "the file to write (replaced when it exists)")->required();
    const CLI::Option* exportPlaylist = AddRowOptions(*exportList, options);

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
            const PlayerDatabase db = OpenForCommand(options.Path, options.Limit, options.FromFiles);
            PrintTracks(std::cout, ChosenRows(db, Given(tracksPlaylist, options.Playlist)), FormatNamed(options.Format));
        } else if (playlists->parsed()) {
            const PlayerDatabase db = OpenForCommand(options.Path, -1, options.FromFiles);
            PrintPlaylists(std::cout, *db.Parser, FormatNamed(options.Format));
        } else if (extract->parsed()) {
            ExtractOptions run;
            run.Path = options.Path;
            run.Playlist = Given(extractPlaylist, options.Playlist);
            run.Limit = options.Limit;
            run.Destination = options.Destination;
            run.FileFormat = Given(fileFormat, options.FileFormat);
            if (overwrite->count() > 0)
                run.Overwrite = options.Overwrite == "always" ? AlwaysOverwrite
                                : options.Overwrite == "never" ? NeverOverwrite
                                                               : AlwaysPrompt;
            run.DryRun = options.DryRun;
            run.FromFiles = options.FromFiles;
            code = RunExtract(run);
        } else if (exportList->parsed()) {
            code = RunExport(options.Path, Given(exportPlaylist, options.Playlist), options.Limit, options.File,
                             options.FromFiles);
        }
    } catch (const CliError& e) {
        std::cout.flush();
        std::cerr << "varnel-cli: " << e.what() << '\n';
        code = e.GetCode();
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "varnel-cli: " << e.what() << '\n';
        code = ExitBadInput;
    }
    if (!std::cout.flush()) {
        std::cerr << "varnel-cli: cannot write to standard output\n";
        code = ExitBadInput;
    }
    return code;
}
