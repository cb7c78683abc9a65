#include "PlaylistFiles.h"

#include "ExtraPlaceholders.h"
#include "FileCopy.h"
#include "FileNameTemplate.h"
#include "ITDBParser.h"
#include "TextConvert.h"
#include "TrackCopyPlan.h"
#include "TrackNames.h"

#include <ostream>

namespace {

constexpr const char* kFolderPrefix = "Playlists/";
constexpr std::string_view kExtension = ".m3u8";

} // namespace

std::vector<M3uEntry> PlaylistEntries(const ITDBParser& database, const OnePlaylist& playlist, const TrackNames& names,
                                      const std::function<bool(const std::string& relative)>& copied)
{
    std::vector<M3uEntry> entries;
    for (const std::int32_t id : playlist.GetItems()) {
        const OneTrack* track = database.FindTrack(id);
        const std::string& relative = track ? names.RelativePath(*track) : std::string();
        if (relative.empty() || !copied(relative))
            continue;
        std::string fromPlaylist = "../";
        fromPlaylist += relative;
        entries.push_back({track, std::move(fromPlaylist)});
    }
    return entries;
}

std::vector<PlaylistFile> PlaylistFilesOf(const ITDBParser& database, bool ignoreCase)
{
    UniqueNames taken(ignoreCase);
    std::vector<PlaylistFile> files;
    for (const OnePlaylist& playlist : database.GetPlaylists()) {
        if (playlist.IsMaster())
            continue;
        std::u16string name(playlist.GetName());
        CleanFileNamePart(name);
        if (name.empty() || name == u"." || name == u"..")
            name.assign(1, u'_');
        UnhideName(name);
        TrackNameParts parts{kFolderPrefix, FitFileName(name, kExtension.size()), std::string(kExtension)};
        files.push_back({&playlist, taken.Take(parts)});
    }
    return files;
}

std::vector<std::string> PlaylistPaths(const std::vector<PlaylistFile>& files, const std::string& destination)
{
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const PlaylistFile& file : files)
        paths.push_back(JoinPath(destination, file.RelativePath));
    return paths;
}

void ListPlaylistFiles(std::ostream& out, const std::vector<PlaylistFile>& files, const std::string& destination,
                       const char* existingNote)
{
    for (const PlaylistFile& file : files) {
        const std::string path = JoinPath(destination, file.RelativePath);
        out << "playlist \"" << NarrowFromWide(file.Playlist->GetName()) << "\" -> " << path
            << (PathExists(path) ? existingNote : "") << '\n';
    }
}
