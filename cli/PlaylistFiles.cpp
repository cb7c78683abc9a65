#include "PlaylistFiles.h"

#include "ExtraPlaceholders.h"
#include "FileCopy.h"
#include "FileNameTemplate.h"
#include "ITDBParser.h"
#include "M3uPlaylist.h"
#include "TextConvert.h"
#include "TrackCopyPlan.h"
#include "TrackNames.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sys/stat.h>

namespace {

constexpr const char* kFolder = "Playlists";
constexpr const char* kFolderPrefix = "Playlists/";
constexpr std::string_view kExtension = ".m3u8";

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

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

int WritePlaylistFiles(const ITDBParser& database, const std::vector<PlaylistFile>& files, const TrackNames& names,
                       const std::string& destination)
{
    if (files.empty())
        return 0;
    const std::string folder = JoinPath(destination, kFolder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::cerr << "varnel-cli: cannot make " << folder << ": " << error.message() << '\n';
        return static_cast<int>(files.size());
    }
    int failures = 0;
    for (const PlaylistFile& file : files) {
        std::vector<M3uEntry> entries;
        for (const std::int32_t id : file.Playlist->GetItems()) {
            const OneTrack* track = database.FindTrack(id);
            const std::string& relative = track ? names.RelativePath(*track) : std::string();
            if (relative.empty() || !IsRegularFile(JoinPath(destination, relative)))
                continue;
            std::string fromPlaylist = "../";
            fromPlaylist += relative;
            entries.push_back({track, std::move(fromPlaylist)});
        }
        const std::string path = JoinPath(destination, file.RelativePath);
        const std::string failure = WriteFileAtomically(path, M3uText(entries));
        if (!failure.empty()) {
            std::cerr << "varnel-cli: Error writing playlist " << path << ": " << failure << '\n';
            ++failures;
        }
    }
    return failures;
}

void ListPlaylistFiles(std::ostream& out, const std::vector<PlaylistFile>& files, const std::string& destination)
{
    for (const PlaylistFile& file : files)
        out << "playlist \"" << NarrowFromWide(file.Playlist->GetName()) << "\" -> "
            << JoinPath(destination, file.RelativePath) << '\n';
}
