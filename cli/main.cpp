// varnel-cli: the player's database on the command line, for scripts and machines without a
// desktop. Data goes to standard output, messages to standard error, one line each.
#include "CliError.h"
#include "CommandLineParsing.h"
#include "CommandLineTexts.h"
#include "ExportCommand.h"
#include "ExtractCommand.h"
#include "ListCommands.h"
#include "PlayerDatabase.h"
#include "PlayerFilesSource.h"
#include "TerminalText.h"
#include "TrackPicking.h"

#include <CLI/CLI.hpp>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

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
    bool Quiet = false;
    bool Playlists = false;
    bool FromFiles = false;
    bool WriteTags = false;
    std::string File;
    TrackPicks Picks;
};

// Whole numbers from 1 to the largest track count the reader takes; no limit is no --limit.
CLI::Validator LimitValidator()
{
    return CLI::Validator(
        [](std::string& text) {
            int value = -1;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (error != std::errc() || end != text.data() + text.size() || value < 1)
                return "the limit must be a whole number from 1 to " +
                       std::to_string(std::numeric_limits<int>::max()) + ", not \"" + text +
                       "\"; leave out --limit to read every track";
            return std::string();
        },
        "");
}

CLI::Validator NotEmpty(const char* what)
{
    return CLI::Validator([what](std::string& text) { return text.empty() ? std::string(what) : std::string(); }, "");
}

// Qt's own warnings (a saved setting it cannot read, say) carry the program's prefix like every
// other line on standard error.
void PrefixedQtMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    for (const QString& line : message.split(u'\n'))
        std::cerr << "varnel-cli: " << line.toStdString() << '\n';
}

// --help and --version are data on standard output: a failed write is an error there too.
int Finished(int code)
{
    if (!std::cout.flush()) {
        std::cerr << "varnel-cli: cannot write to standard output\n";
        return ExitBadInput;
    }
    return code;
}

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

// --playlist, --limit, --from-files and the picks: which rows of the track list a command takes.
CLI::Option* AddRowOptions(CLI::App& command, Options& options)
{
    AddFromFilesFlag(command, options);
    command.add_option("--limit", options.Limit, "read at most the first N tracks of the database (default: all)")
        ->check(LimitValidator())
        ->type_name("N");
    command.add_option_function<std::string>(
        "--artist", [&options](const std::string& text) { options.Picks.Artist = text; },
        "only tracks whose artist or album artist holds every word of TEXT (letter case and accents ignored)")
        ->type_name("TEXT");
    command.add_option_function<std::string>(
        "--album", [&options](const std::string& text) { options.Picks.Album = text; },
        "only tracks whose album holds every word of TEXT")
        ->type_name("TEXT");
    command.add_option_function<std::string>(
        "--search", [&options](const std::string& text) { options.Picks.Search = text; },
        "only tracks whose title, artist or album hold every word of TEXT")
        ->type_name("TEXT");
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
    EscapeControlsOnTerminals();
    qInstallMessageHandler(PrefixedQtMessage);

    CLI::App app("Lists the tracks and playlists of a classic iPod, copies its tracks under readable names "
                 "and exports its track list.",
                 "varnel-cli");
    app.formatter(std::make_shared<UsageFirstFormatter>());
    app.set_version_flag("--version", VersionText(VARNEL_VERSION));
    app.require_subcommand(1);
    // As with most tools, an option given twice takes its last value, so that a script can
    // append to a command that already names one.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.footer(HelpFooter(""));

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
                            "the copies' names, such as \"%albumartist%/%album%/%disc%-%tracknumber:2% %title%\"; "
                            "\"/\" makes folders. Placeholders: %tracknumber%, %title%, %artist%, %album%, "
                            "%albumartist% (the artist when there is none), %genre%, %composer%, %year%, %disc%, "
                            "%disccount%, %autonumber%; %tracknumber:N% and %disc:N% pad with zeros to N digits "
                            "(1 to 99); numbers are 0 when the player has none (default: the template saved in "
                            "Varnel's preferences)")
            ->check(NotEmpty("the template is empty; give one, or leave out --template to use the saved one"))
            ->type_name("T");
    const CLI::Option* overwrite =
        extract->add_option("--overwrite", options.Overwrite,
                            "when a copy already exists: replace it, keep it, or ask (default: as saved in "
                            "Varnel's preferences)")
            ->check(CLI::IsMember({"always", "never", "ask"}))
            ->type_name("MODE");
    extract->add_flag("--dry-run", options.DryRun, "show what would be copied where, and change nothing");
    extract->add_flag("--quiet,-q", options.Quiet, "report only failures and the summary");
    extract->add_flag("--playlists", options.Playlists,
                      "also write each playlist but the master as DEST/Playlists/NAME.m3u8, listing every track of "
                      "it that has its copy in DEST");
    extract->add_flag("--write-tags", options.WriteTags,
                      "write the player's ratings, play counts and covers, and any title, artist, album and other "
                      "basic tags a file lacks, into each copy (MP3 and MP4 audio)");

    CLI::App* exportList = app.add_subcommand("export", "write the track list as a UTF-16 CSV file, as the window exports it");
    AddPathOption(*exportList, options);
    exportList->add_option("FILE", options.File, "the file to write (replaced when it exists)")->required();
    const CLI::Option* exportPlaylist = AddRowOptions(*exportList, options);

    std::vector<std::string> commands;
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        command->footer(HelpFooter(command->get_name()));
        commands.push_back(command->get_name());
    }
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);
    std::optional<std::string> unknown = UnknownOptionMessage(args, app);
    if (!unknown)
        unknown = UnknownCommandMessage(args, commands);
    if (unknown) {
        std::cerr << "varnel-cli: " << *unknown << '\n';
        return ExitBadInput;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return Finished(app.exit(e)); // --help, --version
        std::cerr << "varnel-cli: " << e.what() << " (see varnel-cli --help)\n";
        return ExitBadInput;
    }

    int code = ExitDone;
    try {
        if (tracks->parsed()) {
            const PlayerDatabase db = OpenForCommand(options.Path, options.Limit, options.FromFiles);
            PrintTracks(std::cout, PickTracks(ChosenRows(db, Given(tracksPlaylist, options.Playlist)), options.Picks),
                        FormatNamed(options.Format));
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
            run.Picks = options.Picks;
            run.Quiet = options.Quiet;
            run.Playlists = options.Playlists;
            run.FromFiles = options.FromFiles;
            run.WriteTags = options.WriteTags;
            code = RunExtract(run);
        } else if (exportList->parsed()) {
            code = RunExport({options.Path, Given(exportPlaylist, options.Playlist), options.Limit, options.Picks,
                              options.File, options.FromFiles});
        }
        // A file or folder of the player that could not be read is a failure of its track.
        if (code == ExitDone && PlayerFilesUnread())
            code = ExitSomeFailed;
    } catch (const CliError& e) {
        std::cout.flush();
        std::cerr << "varnel-cli: " << e.what() << '\n';
        code = e.GetCode();
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "varnel-cli: " << e.what() << '\n';
        code = ExitBadInput;
    }
    return Finished(code);
}
