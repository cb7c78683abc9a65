#include "PlayerDatabase.h"

#include "CliError.h"
#include "PlayerPaths.h"
#include "TextConvert.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <sys/stat.h>

namespace {

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
        if (!found)
            throw CliError(path + ": no iPod database here (looked for iPod_Control/iTunes/iTunesDB and iTunesCDB)"
                           + (FindPathNoCase(path, "iPod_Control/Music") ? "." + kRescueHint : ""));
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
    if (db.TracksRead < 0)
        throw CliError(db.DatabasePath + ": An error occurred while reading iPod database." + kRescueHint);
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
        throw CliError("no playlist named \"" + *name + "\" in " + parser.GetFileName());
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
