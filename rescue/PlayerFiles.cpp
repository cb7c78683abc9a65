#include "PlayerFiles.h"

#include "PlayerPaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>

namespace {

// "F" and two digits, in either case: the player's music folders F00 to F49 (larger players
// have gone further, so any two digits count).
bool IsMusicFolderName(std::string_view name)
{
    return name.size() == 3 && (name[0] == 'F' || name[0] == 'f') && std::isdigit(static_cast<unsigned char>(name[1]))
           && std::isdigit(static_cast<unsigned char>(name[2]));
}

struct Entry {
    std::string Name;
    unsigned char Type = DT_UNKNOWN; // as the listing tells it
    bool operator<(const Entry& other) const { return Name < other.Name; }
};

// The entries of `folder` except "." and "..", sorted byte by byte; `error` is the errno of a
// failed listing (0 when it worked), and the entries then are those listed before it failed.
std::vector<Entry> SortedEntries(const std::string& folder, int& error)
{
    std::vector<Entry> entries;
    error = 0;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        error = errno;
        return entries;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            entries.push_back({std::string(name), entry->d_type});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end());
    return entries;
}

// The part of `path` below `root`, with a backslash before each component.
std::string PlayerLocation(const std::string& root, const std::string& path)
{
    std::string location = path.substr(root.size());
    std::replace(location.begin(), location.end(), '/', '\\');
    if (location.empty() || location.front() != '\\')
        location.insert(location.begin(), '\\');
    return location;
}

} // namespace

std::string PlayerRootAbove(const std::string& folder)
{
    std::string candidate = folder;
    while (candidate.size() > 1 && candidate.back() == '/')
        candidate.pop_back();
    for (int level = 0; level < 3; ++level) {
        if (FindPathNoCase(candidate, "iPod_Control/Music"))
            return candidate;
        const std::size_t slash = candidate.rfind('/');
        if (slash == std::string::npos || candidate.size() <= 1)
            break;
        candidate.resize(slash == 0 ? 1 : slash);
    }
    return folder;
}

PlayerFileList ListPlayerFiles(const std::string& root)
{
    PlayerFileList list;
    std::string base = root;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::optional<std::string> music = FindPathNoCase(base, "iPod_Control/Music");
    if (!music)
        return list;
    const auto unreadable = [&](const std::string& path, int error) {
        list.Skipped.push_back({path, std::strerror(error), true});
    };
    int error = 0;
    const std::vector<Entry> folders = SortedEntries(*music, error);
    if (error != 0)
        unreadable(*music, error);
    for (const Entry& folderEntry : folders) {
        const std::string& folderName = folderEntry.Name;
        const std::string folder = *music + "/" + folderName;
        struct stat info {};
        if (!IsMusicFolderName(folderName))
            continue;
        if (::lstat(folder.c_str(), &info) != 0) {
            unreadable(folder, errno);
            continue;
        }
        if (!S_ISDIR(info.st_mode))
            continue;
        // A status only where the listing does not tell the kind, taken relative to the folder:
        // the kernel need not walk the whole path again. A file that then cannot be opened is
        // named by the reading.
        const std::vector<Entry> entries = SortedEntries(folder, error);
        if (error != 0)
            unreadable(folder, error);
        const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        for (const Entry& entry : entries) {
            const std::string& name = entry.Name;
            const std::string path = folder + "/" + name;
            mode_t type = DTTOIF(entry.Type);
            if (entry.Type == DT_UNKNOWN) {
                const int status = folderFd >= 0 ? ::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW)
                                                 : ::lstat(path.c_str(), &info);
                if (status != 0) {
                    unreadable(path, errno);
                    continue;
                }
                type = info.st_mode & S_IFMT;
            }
            if (!S_ISREG(type)) {
                list.Skipped.push_back({path, S_ISDIR(type) ? kFolderReason : "not a regular file"});
            } else if (MediaKindOf(name) == MediaKind::None) {
                list.Skipped.push_back({path, "not a media file"});
            } else if (name.find_first_of(":\\") != std::string::npos) {
                // The player's locations use both as separators.
                list.Skipped.push_back({path, "a name the player cannot hold"});
            } else {
                list.Files.push_back({path, PlayerLocation(base, path)});
            }
        }
        if (folderFd >= 0)
            ::close(folderFd);
    }
    // Folder names that differ only in letter case (F00 and f00 side by side) interleave.
    std::sort(list.Files.begin(), list.Files.end(),
              [](const PlayerFile& a, const PlayerFile& b) { return a.Location < b.Location; });
    std::sort(list.Skipped.begin(), list.Skipped.end(),
              [](const SkippedFile& a, const SkippedFile& b) { return a.Path < b.Path; });
    return list;
}
