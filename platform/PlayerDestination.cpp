#include "PlayerDestination.h"

#include "PlayerPaths.h"

#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
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

// The id of the mount that holds the open file `fd`; 0 when the kernel does not tell (before 5.8).
std::uint64_t MountIdOf(int fd)
{
    struct statx info {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_MNT_ID, &info) != 0 || !(info.stx_mask & STATX_MNT_ID))
        return 0;
    return info.stx_mnt_id;
}

// The root inside its file system of the mount `mount` (the fourth field of its line in
// /proc/self/mountinfo, "/" for a whole file system); nullopt without /proc or such a mount.
std::optional<std::string> MountRoot(std::uint64_t mount)
{
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::uint64_t id = 0;
        std::string parent, device, root;
        if (fields >> id >> parent >> device >> root && id == mount)
            return root;
    }
    return std::nullopt;
}

// True when one of the folders of `path` is iPod_Control, in any letter case.
bool PassesPlayerFolder(const std::string& path)
{
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        if (end - at == 12 && ::strncasecmp(path.data() + at, "iPod_Control", 12) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

// The path the kernel knows the open file `fd` by; empty without /proc or for a removed file.
std::string PathOfDescriptor(int fd)
{
    std::error_code error;
    const std::string path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
    return error || path.empty() || path.front() != '/' ? std::string() : path;
}

std::string FoldedCase(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// The folder at the top of the mount `mount` that holds the open folder `fd`, opened: the climb
// by ".." stops where the mount changes or the system's root is met.
int TopOfMount(int fd, std::uint64_t mount)
{
    int current = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    while (current >= 0) {
        struct stat here {}, above {};
        const int parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (parent < 0 || ::fstat(current, &here) != 0 || ::fstat(parent, &above) != 0 || SameFile(here, above)
            || MountIdOf(parent) != mount) {
            if (parent >= 0)
                ::close(parent);
            return current;
        }
        ::close(current);
        current = parent;
    }
    return -1;
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
    // A file system that ignores letter case finds the player's folder under another spelling.
    const std::filesystem::path controlPath(*control);
    std::string swapped = controlPath.filename().string();
    for (char& c : swapped)
        c = std::isupper(static_cast<unsigned char>(c)) ? static_cast<char>(std::tolower(c)) : static_cast<char>(std::toupper(c));
    struct stat other {};
    if (!OwnFileSystem && ::stat((controlPath.parent_path() / swapped).c_str(), &other) == 0 && S_ISDIR(other.st_mode)) {
        const int fd = ::open(playerRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            FoldedPath = FoldedCase(PathOfDescriptor(fd));
            ::close(fd);
        }
    }
}

bool WriteGate::RefusesFolder(const std::string& folder) const
{
    if (!Player)
        return false;
    const int fd = OpenNearestFolder(folder);
    const bool refused = fd < 0 || RefusesOpenedFolder(fd);
    if (fd >= 0)
        ::close(fd);
    return refused;
}

bool WriteGate::RefusesOpenedFolder(int fd) const
{
    if (!Player)
        return false;
    struct stat folder {};
    if (::fstat(fd, &folder) != 0)
        return true;
    if (OwnFileSystem && folder.st_dev == Device)
        return true;
    const std::uint64_t mount = MountIdOf(fd);
    const bool mountKnown = mount != 0 && JudgeMount(fd, mount);
    if (mountKnown && PlayerMounts[mount])
        return true;
    // A player folder on the computer's own disk is among the parents, found by the climb; so
    // is, without mount ids, the root of a file system that holds a player's folder.
    if (!mountKnown || folder.st_dev == Device) {
        int current = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        bool inside = current < 0;
        // Up the chain of parents to the system's root, whose ".." is itself.
        while (current >= 0 && !inside) {
            struct stat here {}, above {};
            const int parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            const bool climbed = ::fstat(current, &here) == 0 && parent >= 0 && ::fstat(parent, &above) == 0 && !SameFile(here, above);
            inside = here.st_dev == Device && (OwnFileSystem || here.st_ino == Inode);
            // A second mount of the player (FUSE gives each mount a device of its own) is known
            // by the player's folder at the root of its file system.
            const bool fileSystemRoot = parent >= 0 && (here.st_dev != above.st_dev || SameFile(here, above));
            if (!inside && fileSystemRoot && !mountKnown) {
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
        if (inside)
            return true;
    }
    return !FoldedPath.empty() && folder.st_dev == Device && BelowPlayerByCase(fd);
}

bool WriteGate::JudgeMount(int fd, std::uint64_t mount) const
{
    if (PlayerMounts.count(mount) != 0)
        return true;
    const std::optional<std::string> root = MountRoot(mount);
    if (!root)
        return false;
    // A bind mount of a folder inside a player shows the player's folder on the way to its root;
    // a second mount of a player has it at its top.
    bool holds = PassesPlayerFolder(*root);
    if (!holds) {
        const int top = TopOfMount(fd, mount);
        holds = top < 0 || HoldsPlayerFolder(top);
        if (top >= 0)
            ::close(top);
    }
    PlayerMounts.emplace(mount, holds);
    return true;
}

bool WriteGate::BelowPlayerByCase(int fd) const
{
    const std::string path = FoldedCase(PathOfDescriptor(fd));
    return path.compare(0, FoldedPath.size(), FoldedPath) == 0
        && (path.size() == FoldedPath.size() || path[FoldedPath.size()] == '/' || FoldedPath == "/");
}

bool WriteGate::RefusesOpenedFile(int fd) const
{
    struct stat file {};
    if (!Player || ::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode))
        return false;
    if (OwnFileSystem && file.st_dev == Device)
        return true;
    // Another name of a file on the player's disk may be a name of the player's file.
    if (file.st_dev == Device && file.st_nlink > 1)
        return true;
    // Judged by its folder, found by the name the kernel knows it by and checked to hold it.
    const std::string path = PathOfDescriptor(fd);
    const std::size_t slash = path.find_last_of('/');
    const int folder = path.empty() ? -1 : ::open(slash == 0 ? "/" : path.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat named {};
    // A file whose name cannot be found again is known by its disk alone.
    bool refused = file.st_dev == Device;
    if (folder >= 0 && ::fstatat(folder, path.c_str() + slash + 1, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(named, file))
        refused = RefusesOpenedFolder(folder);
    if (folder >= 0)
        ::close(folder);
    return refused;
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
