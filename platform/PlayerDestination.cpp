#include "PlayerDestination.h"

#include "PlayerPaths.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The nearest folder at or above `folder` that exists, opened; -1 when none can be opened.
int OpenNearestFolder(const std::string& folder)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(folder, error);
    if (error)
        return -1;
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 || !path.has_relative_path())
            return fd;
        path = path.parent_path();
    }
}

// True when the open folder `dir` holds an iPod_Control folder, in any letter case.
bool HoldsPlayerFolder(int dir)
{
    const int listed = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* stream = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (!stream) {
        if (listed >= 0)
            ::close(listed);
        return false;
    }
    bool holds = false;
    while (const dirent* entry = ::readdir(stream)) {
        struct stat info {};
        if (::strcasecmp(entry->d_name, "iPod_Control") == 0 && ::fstatat(dir, entry->d_name, &info, 0) == 0
            && S_ISDIR(info.st_mode)) {
            holds = true;
            break;
        }
    }
    ::closedir(stream);
    return holds;
}

} // namespace

WriteGate::WriteGate(const std::string& playerRoot)
{
    if (playerRoot.empty())
        return;
    const std::optional<std::string> control = FindPathNoCase(playerRoot, "iPod_Control");
    struct stat root {}, info {}, above {};
    if (!control || ::stat(control->c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || ::stat(playerRoot.c_str(), &root) != 0)
        return;
    Player = true;
    Device = root.st_dev;
    Inode = root.st_ino;
    // A mount point's parent lies on another file system; the system's root is its own parent.
    const std::string parent = (std::filesystem::path(playerRoot) / "..").string();
    OwnFileSystem = ::stat(parent.c_str(), &above) == 0 && (above.st_dev != root.st_dev || SameFile(above, root));
}

bool WriteGate::RefusesFolder(const std::string& folder) const
{
    if (!Player)
        return false;
    int current = OpenNearestFolder(folder);
    bool inside = false;
    // Up the chain of parents to the system's root, whose ".." is itself.
    while (current >= 0 && !inside) {
        struct stat here {}, above {};
        const int parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool climbed = ::fstat(current, &here) == 0 && parent >= 0 && ::fstat(parent, &above) == 0 && !SameFile(here, above);
        inside = here.st_dev == Device && (OwnFileSystem || here.st_ino == Inode);
        // A second mount of the player (FUSE gives each mount a device of its own) is known by
        // the player's folder at the root of its file system.
        const bool fileSystemRoot = parent >= 0 && (here.st_dev != above.st_dev || SameFile(here, above));
        if (!inside && fileSystemRoot) {
            const auto known = PlayerFileSystems.try_emplace(here.st_dev, false);
            if (known.second)
                known.first->second = HoldsPlayerFolder(current);
            inside = known.first->second;
        }
        ::close(current);
        current = -1;
        if (climbed && !inside)
            current = parent;
        else if (parent >= 0)
            ::close(parent);
    }
    if (current >= 0)
        ::close(current);
    return inside;
}

bool WriteGate::RefusesOpenedFolder(int) const
{
    return false;
}

bool WriteGate::RefusesOpenedFile(int) const
{
    return false;
}

bool WriteGate::RefusesFile(const std::string& path) const
{
    std::unordered_map<std::string, bool> folders;
    return RefusesFile(path, folders);
}

bool WriteGate::RefusesFile(const std::string& path, std::unordered_map<std::string, bool>& folders) const
{
    if (!Player)
        return false;
    // A chain of links that cannot be followed could lead anywhere.
    const std::optional<std::string> file = FileBehindLinks(path);
    if (!file)
        return true;
    struct stat info {};
    if (OwnFileSystem && ::stat(file->c_str(), &info) == 0 && info.st_dev == Device)
        return true;
    const std::filesystem::path folder = std::filesystem::path(*file).parent_path();
    const auto known = folders.try_emplace(folder.empty() ? std::string(".") : folder.string(), false);
    if (known.second)
        known.first->second = RefusesFolder(known.first->first);
    return known.first->second;
}

std::optional<std::string> WriteGate::FirstRefused(const std::vector<std::string>& files) const
{
    std::unordered_map<std::string, bool> folders;
    for (const std::string& file : files) {
        if (RefusesFile(file, folders))
            return file;
    }
    return std::nullopt;
}

bool WritesIntoPlayer(const std::string& folder, const std::string& playerRoot)
{
    return WriteGate(playerRoot).RefusesFolder(folder);
}

std::optional<std::string> FileBehindLinks(const std::string& path)
{
    std::filesystem::path resolved = path;
    std::error_code error;
    for (int hops = 0; std::filesystem::is_symlink(resolved, error); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(resolved, error);
        if (hops == 40 || error)
            return std::nullopt;
        resolved = next.is_absolute() ? next : resolved.parent_path() / next;
    }
    return resolved.string();
}
