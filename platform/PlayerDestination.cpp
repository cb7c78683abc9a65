#include "PlayerDestination.h"

#include "PlayerPaths.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The nearest folder at or above `folder` that exists, opened; -1 when none can be opened.
int OpenNearestFolder(const std::string& folder)
{
    std::filesystem::path path = std::filesystem::absolute(folder);
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 || !path.has_relative_path())
            return fd;
        path = path.parent_path();
    }
}

} // namespace

bool WritesIntoPlayer(const std::string& folder, const std::string& playerRoot)
{
    if (playerRoot.empty())
        return false;
    const std::optional<std::string> control = FindPathNoCase(playerRoot, "iPod_Control");
    struct stat root {}, info {};
    if (!control || ::stat(control->c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || ::stat(playerRoot.c_str(), &root) != 0)
        return false;

    int current = OpenNearestFolder(folder);
    bool inside = false;
    // Up the chain of parents to the system's root, whose ".." is itself.
    while (current >= 0 && !inside) {
        struct stat here {}, above {};
        const int parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const bool climbed = ::fstat(current, &here) == 0 && parent >= 0 && ::fstat(parent, &above) == 0 && !SameFile(here, above);
        inside = SameFile(here, root);
        ::close(current);
        current = -1;
        if (climbed)
            current = parent;
        else if (parent >= 0)
            ::close(parent);
    }
    if (current >= 0)
        ::close(current);
    return inside;
}
