#include "PlayerDatabase.h"

#include "CliError.h"
#include "PlayerPaths.h"
#include "TextConvert.h"

#include <unicode/unistr.h>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The system's reason why `path` cannot be opened for reading, or empty when it can.
std::string OpenFailure(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    return {};
}

icu::UnicodeString CaseFolded(std::u16string_view text)
{
    icu::UnicodeString folded(text.data(), static_cast<int32_t>(text.size()));
    return folded.foldCase();
}

// Why a player folder holds no database that reads, when it is not simply missing: a folder on
// the way that cannot be read, or a database file of zero bytes. Empty otherwise.
std::string WhyNoDatabase(const std::string& root)
{
    for (const char* folder : {"", "iPod_Control", "iPod_Control/iTunes"}) {
        const std::optional<std::string> path = *folder ? FindPathNoCase(root, folder) : root;
        if (!path)
            break;
        DIR* dir = ::opendir(path->c_str());
        if (!dir)
            return *path + ": " + std::strerror(errno);
        ::closedir(dir);
    }
    for (const char* file : {"iPod_Control/iTunes/iTunesDB", "iPod_Control/iTunes/iTunesCDB"}) {
        if (const std::optional<std::string> path = FindPathNoCase(root, file))
            return *path + ": the database file is empty (0 bytes)";
    }
    return {};
}

bool IsEmptyFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0;
}

const std::string kRescueHint = " To rescue the tracks from the player's own files, run the command again with "
                                "--from-files and the player's folder.";

} // namespace

PlayerDatabase OpenPlayerDatabase(const std::string& path, int trackLimit)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        throw CliError(path + ": " + std::strerror(errno));

    PlayerDatabase db;
    if (S_ISDIR(info.st_mode)) {
        std::optional<std::string> found = LocatePlayerDatabase(path);
        if (!found) {
            std::string why = WhyNoDatabase(path);
            if (why.empty())
                why = path + ": no iPod database here (looked for iPod_Control/iTunes/iTunesDB and iTunesCDB)";
            throw CliError(why + (FindPathNoCase(path, "iPod_Control/Music") ? "." + kRescueHint : ""));
        }
        db.DatabasePath = std::move(*found);
    } else {
        db.DatabasePath = path;
    }
    db.PlayerRoot = PlayerRootOf(db.DatabasePath);
    // Without it every location would be taken from the root of the file system.
    if (db.PlayerRoot.empty())
        throw CliError(db.DatabasePath + ": cannot tell which folder the player's files are in");
    db.Parser = std::make_unique<ITDBParser>(db.DatabasePath);
    db.TracksRead = db.Parser->Parse(trackLimit);
    if (db.TracksRead < 0) {
        // A file that exists but cannot be opened says why, rather than that it does not read.
        if (const std::string failure = OpenFailure(db.DatabasePath); !failure.empty())
            throw CliError(db.DatabasePath + ": " + failure);
        if (IsEmptyFile(db.DatabasePath))
            throw CliError(db.DatabasePath + ": the database file is empty (0 bytes)");
        throw CliError(db.DatabasePath + ": An error occurred while reading iPod database." + kRescueHint);
    }
    if (db.TracksRead == 0)
        std::cerr << "varnel-cli: " << db.DatabasePath << ": iPod database is empty.\n";
    return db;
}

const OnePlaylist* ChoosePlaylist(const ITDBParser& parser, const std::optional<std::string>& name)
{
    const std::vector<OnePlaylist>& playlists = parser.GetPlaylists();
    if (name) {
        const std::u16string wanted = WideFromNarrow(*name);
        for (const OnePlaylist& playlist : playlists) {
            if (playlist.GetName() == wanted)
                return &playlist;
        }
        // Without an exact match, one that differs only in letter case; two such leave the
        // choice to the user.
        const icu::UnicodeString folded = CaseFolded(wanted);
        std::vector<const OnePlaylist*> alike;
        for (const OnePlaylist& playlist : playlists) {
            if (CaseFolded(playlist.GetName()) == folded)
                alike.push_back(&playlist);
        }
        if (alike.size() == 1)
            return alike.front();
        if (alike.size() > 1) {
            std::string names;
            for (const OnePlaylist* playlist : alike)
                names += (names.empty() ? "\"" : ", \"") + NarrowFromWide(playlist->GetName()) + "\"";
            throw CliError("no playlist is named exactly \"" + *name + "\" in " + parser.GetFileName() +
                           ", and several differ from it only in letter case: " + names + "; give one of them");
        }
        std::string names;
        for (const OnePlaylist& playlist : playlists)
            names += (names.empty() ? "\"" : ", \"") + NarrowFromWide(playlist.GetName()) + "\"";
        throw CliError("no playlist named \"" + *name + "\" in " + parser.GetFileName() + "; " +
                       (names.empty() ? std::string("it has no playlists") : "its playlists are " + names));
    }
    const OnePlaylist* shown = playlists.empty() ? nullptr : &playlists.front();
    for (const OnePlaylist& playlist : playlists) {
        if (playlist.IsMaster())
            shown = &playlist;
    }
    return shown;
}

std::vector<const OneTrack*> PlaylistRows(const ITDBParser& parser, const OnePlaylist* playlist)
{
    std::vector<const OneTrack*> rows;
    if (!playlist)
        return rows;
    rows.reserve(playlist->GetItems().size());
    for (std::int32_t id : playlist->GetItems()) {
        if (const OneTrack* track = parser.FindTrack(id))
            rows.push_back(track);
    }
    return rows;
}

std::vector<const OneTrack*> ChosenRows(const PlayerDatabase& db, const std::optional<std::string>& name)
{
    std::vector<const OneTrack*> rows = !name && db.AllFiles ? PlaylistRows(*db.Parser, &*db.AllFiles)
                                                             : PlaylistRows(*db.Parser, ChoosePlaylist(*db.Parser, name));
    if (db.RowLimit >= 0 && rows.size() > static_cast<std::size_t>(db.RowLimit))
        rows.resize(static_cast<std::size_t>(db.RowLimit));
    return rows;
}
