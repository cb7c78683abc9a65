#include "PlayerPaths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::vector<std::string_view> Components(std::string_view path)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find_first_of("/\\", start);
        const std::size_t stop = end == std::string_view::npos ? path.size() : end;
        if (stop > start)
            parts.push_back(path.substr(start, stop - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return parts;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The entries of `folder` other than `name` itself whose names equal it without regard to letter
// case, in byte order, so that the choice does not depend on the directory's order.
std::vector<std::string> OtherSpellings(const std::string& folder, std::string_view name)
{
    std::vector<std::string> matches;
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir)
        return matches;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view candidate = entry->d_name;
        if (candidate != name && EqualNoCase(candidate, name))
            matches.emplace_back(candidate);
    }
    ::closedir(dir);
    std::sort(matches.begin(), matches.end());
    return matches;
}

std::string Join(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (path.empty() || path.back() != '/')
        path += '/';
    path += name;
    return path;
}

bool StatFile(const std::string& path, struct stat& st)
{
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// `parts` below `path`: the exact spelling of each component first, then each other spelling
// that matches it, going back to the next spelling when a later component finds nothing. A
// folder is read only when its exact spelling does not lead to the path, so a path spelled right
// costs one lstat per component.
std::optional<std::string> FindBelow(const std::string& path, std::span<const std::string_view> parts)
{
    if (parts.empty())
        return Exists(path) ? std::optional(path) : std::nullopt;
    const std::string exact = Join(path, parts.front());
    if (Exists(exact)) {
        if (auto found = FindBelow(exact, parts.subspan(1)))
            return found;
    }
    for (const std::string& spelling : OtherSpellings(path, parts.front())) {
        if (auto found = FindBelow(Join(path, spelling), parts.subspan(1)))
            return found;
    }
    return std::nullopt;
}

} // namespace

bool HasDotComponent(std::string_view relative)
{
    const auto parts = Components(relative);
    return std::any_of(parts.begin(), parts.end(), [](std::string_view p) { return p == "." || p == ".."; });
}

std::optional<std::string> FindPathNoCase(const std::string& root, std::string_view relative)
{
    if (HasDotComponent(relative))
        return std::nullopt;
    const auto parts = Components(relative);
    // A path spelled right, as nearly every track's is, takes one look rather than one for each
    // of its components.
    std::string exact = root;
    for (const std::string_view part : parts)
        exact = Join(exact, part);
    if (!parts.empty() && Exists(exact))
        return exact;
    return FindBelow(root, parts);
}

std::optional<std::string> LocatePlayerDatabase(const std::string& root)
{
    struct Candidate {
        std::string Path;
        struct stat Info {};
    };
    std::optional<Candidate> best;
    for (const char* name : {"iPod_Control/iTunes/iTunesDB", "iPod_Control/iTunes/iTunesCDB"}) {
        const auto path = FindPathNoCase(root, name);
        Candidate candidate;
        if (!path || !StatFile(*path, candidate.Info) || candidate.Info.st_size == 0)
            continue;
        candidate.Path = *path;
        const auto newer = [](const struct stat& a, const struct stat& b) {
            return a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec > b.st_mtim.tv_sec
                                                        : a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
        };
        if (!best || newer(candidate.Info, best->Info))
            best = std::move(candidate);
    }
    if (!best)
        return std::nullopt;
    return best->Path;
}

std::string PlayerRootOf(const std::string& givenPath)
{
    struct stat st {};
    if (givenPath.empty() || ::stat(givenPath.c_str(), &st) != 0)
        return {};
    // The folders around a link, or the current folder, tell nothing of where the file lies.
    char* real = ::realpath(givenPath.c_str(), nullptr);
    if (!real)
        return {};
    const std::string databasePath = real;
    std::free(real);
    const auto parts = Components(databasePath);
    const std::string prefix = databasePath.front() == '/' ? "/" : "";
    auto joinFirst = [&](std::size_t count) {
        std::string path = prefix;
        for (std::size_t i = 0; i < count; ++i)
            path = i == 0 ? prefix + std::string(parts[0]) : Join(path, parts[i]);
        return path.empty() ? std::string(".") : path;
    };
    // <root>/iPod_Control/iTunes/<file>
    if (parts.size() >= 3 && EqualNoCase(parts[parts.size() - 2], "iTunes")
        && EqualNoCase(parts[parts.size() - 3], "iPod_Control"))
        return joinFirst(parts.size() - 3);

    // Otherwise climb while the parent folder is on the same file system.
    const dev_t device = st.st_dev;
    std::size_t count = parts.size() - 1; // the folder holding the file
    while (count > 0) {
        struct stat parent {};
        if (::stat(joinFirst(count - 1).c_str(), &parent) != 0 || parent.st_dev != device)
            break;
        --count;
    }
    return joinFirst(count);
}
