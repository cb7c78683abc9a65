#include "LetterCase.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <unordered_set>

namespace {

std::string SwappedCase(std::string name)
{
    for (char& c : name) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

// True when `name` in the open folder `dir` leads to something.
bool Exists(int dir, const std::string& name)
{
    struct stat info {};
    return ::fstatat(dir, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// The answer that the entries of the open folder `dir` give, if one does.
std::optional<bool> AnswerFromEntries(int dir)
{
    const int listed = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0)
        return std::nullopt;
    DIR* stream = ::fdopendir(listed);
    if (!stream) {
        ::close(listed);
        return std::nullopt;
    }
    std::unordered_set<std::string> names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.insert(name);
    }
    ::closedir(stream);
    for (const std::string& name : names) {
        const std::string swapped = SwappedCase(name);
        if (swapped == name || names.count(swapped) != 0)
            continue;
        return Exists(dir, swapped);
    }
    return std::nullopt;
}

// The answer of the first of the open folder `dir` and its parents on file system `device`
// whose entries give one.
std::optional<bool> AnswerFromFolderOrParents(int dir, dev_t device)
{
    for (int current = ::dup(dir); current >= 0;) {
        if (const std::optional<bool> answer = AnswerFromEntries(current)) {
            ::close(current);
            return answer;
        }
        const int parent = ::openat(current, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat parentInfo {}, currentInfo {};
        const bool sameFileSystem = parent >= 0 && ::fstat(parent, &parentInfo) == 0 && parentInfo.st_dev == device &&
                                    ::fstat(current, &currentInfo) == 0 && currentInfo.st_ino != parentInfo.st_ino;
        ::close(current);
        current = -1;
        if (sameFileSystem)
            current = parent;
        else if (parent >= 0)
            ::close(parent);
    }
    return std::nullopt;
}

// Makes a file of a lower-case name in `dir` and looks it up in upper case.
std::optional<bool> AnswerFromProbe(int dir)
{
    const std::string probe = ".varnel-case-probe-" + std::to_string(::getpid());
    const std::string swapped = SwappedCase(probe);
    if (Exists(dir, swapped))
        return std::nullopt;
    const int file = ::openat(dir, probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0)
        return std::nullopt;
    ::close(file);
    const bool ignores = Exists(dir, swapped);
    ::unlinkat(dir, probe.c_str(), 0);
    return ignores;
}

// The type of the file system that `device` holds, as the mount table names it ("vfat",
// "fuse.fusefat"); empty when it is not found.
std::string MountedType(dev_t device)
{
    std::ifstream table("/proc/self/mountinfo");
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        const std::size_t separator = line.find(" - ");
        if (numbers == wanted && separator != std::string::npos)
            return line.substr(separator + 3, line.find(' ', separator + 3) - separator - 3);
    }
    return {};
}

// What is known of file systems by their type, for want of a better answer.
bool TypeIgnoresCase(dev_t device)
{
    static const std::unordered_set<std::string> ignoring = {"vfat", "msdos", "exfat", "fuse.exfat", "fuse.fusefat",
                                                             "cifs", "smb3", "hfsplus"};
    return ignoring.count(MountedType(device)) != 0;
}

} // namespace

bool FileSystemIgnoresCase(const std::string& folder, bool mayWrite)
{
    namespace fs = std::filesystem;
    fs::path existing = fs::absolute(fs::path(folder)).lexically_normal();
    struct stat info {};
    while ((::stat(existing.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) && existing.has_relative_path())
        existing = existing.parent_path();
    const bool folderThere = existing == fs::absolute(fs::path(folder)).lexically_normal();
    const int dir = ::open(existing.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return false;
    const dev_t device = info.st_dev;

    std::optional<bool> answer = AnswerFromFolderOrParents(dir, device);
    if (!answer && mayWrite && folderThere)
        answer = AnswerFromProbe(dir);
    const bool ignores = answer ? *answer : TypeIgnoresCase(device);
    ::close(dir);
    return ignores;
}
