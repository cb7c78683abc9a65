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

// The entries of `playlist`'s file: its members whose copies are in `destination` now.
std::vector<M3uEntry> Entries(const ITDBParser& database, const OnePlaylist& playlist, const TrackNames& names,
                              const std::string& destination)
{
    std::vector<M3uEntry> entries;
    for (const std::int32_t id : playlist.GetItems()) {
        const OneTrack* track = database.FindTrack(id);
        const std::string& relative = track ? names.RelativePath(*track) : std::string();
        if (relative.empty() || !IsRegularFile(JoinPath(destination, relative)))
            continue;
        std::string fromPlaylist = "../";
        fromPlaylist += relative;
        entries.push_back({track, std::move(fromPlaylist)});
    }
    return entries;
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

std::vector<std::string> PlaylistPaths(const std::vector<PlaylistFile>& files, const std::string& destination)
{
    std::vector<std::string> paths;
    paths.reserve(files.size());
    for (const PlaylistFile& file : files)
        paths.push_back(JoinPath(destination, file.RelativePath));
    return paths;
}

PlaylistWrites WritePlaylistFiles(const ITDBParser& database, const std::vector<PlaylistFile>& files,
                                  const TrackNames& names, const std::string& destination,
                                  const std::function<OverwriteAnswer(const std::string& path)>& replace)
{
    PlaylistWrites writes;
    if (files.empty())
        return writes;
    const std::string folder = JoinPath(destination, kFolder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::cerr << "varnel-cli: cannot make " << folder << ": " << error.message() << '\n';
        writes.Failed = static_cast<int>(files.size());
        return writes;
    }
    for (const PlaylistFile& file : files) {
        const std::string path = JoinPath(destination, file.RelativePath);
        std::string failure;
        if (struct stat existing {}; ::lstat(path.c_str(), &existing) == 0) {
            const OverwriteAnswer answer = replace(path);
            if (answer == AnswerCancel) {
                writes.Cancelled = true;
                break;
            }
            if (answer == AnswerNo || answer == AnswerNoToAll) {
                ++writes.Kept;
                continue;
            }
            // As `cp` refuses it: a file its owner may not write is protected, from root too.
            if (S_ISREG(existing.st_mode) && (existing.st_mode & S_IWUSR) == 0)
                failure = std::strerror(EACCES);
        }
        if (failure.empty())
            failure = WriteFileAtomically(path, M3uText(Entries(database, *file.Playlist, names, destination)));
        if (!failure.empty()) {
            std::cerr << "varnel-cli: Error writing playlist " << path << ": " << failure << '\n';
            ++writes.Failed;
        }
    }
    if (writes.Kept > 0)
        std::cerr << "varnel-cli: " << writes.Kept << (writes.Kept == 1 ? " playlist kept as it was\n" : " playlists kept as they were\n");
    return writes;
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
