#include "LetterCase.h"

#include "CopyTemporary.h"

#include "Volumes.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <unordered_map>
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
    // Named as a copy's temporary, so that the sweep of a later run removes one a kill left.
    const std::string probe = std::string(kTemporaryPrefix) + "case-probe-" + std::to_string(::getpid());
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

// The type of the file system that holds the open folder `dir` on `device`, from what the system
// tells without privileges.
std::string SystemFileSystemType(int dir, dev_t device)
{
    struct statfs info {};
    const unsigned long magic = ::fstatfs(dir, &info) == 0 ? static_cast<unsigned long>(info.f_type) : 0;
    const std::string udev = "/run/udev/data/b" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    return FileSystemTypeOf(device, ReadSystemFile("/proc/self/mountinfo"), ReadSystemFile(udev), magic);
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
    std::string type;
    if (!answer) {
        // A fuseblk volume of unknown kind may be exFAT, whose probe would find it ignoring case:
        // dry and real runs alike take it so, which at worst adds a number to a name.
        type = SystemFileSystemType(dir, device);
        if (type == kUnknownFuseblk)
            answer = true;
    }
    if (!answer && mayWrite && folderThere)
        answer = AnswerFromProbe(dir);
    const bool ignores = answer ? *answer : TypeIgnoresCase(type);
    ::close(dir);
    return ignores;
}

std::function<bool(const std::string& folders)> LetterCaseIn(const std::string& destination, bool mayWrite)
{
    struct Answers {
        std::string Destination;
        bool MayWrite = false;
        std::unordered_map<std::string, bool> ByFolder;
        std::unordered_map<dev_t, bool> ByDevice;
    };
    auto answers = std::make_shared<Answers>();
    answers->Destination = destination;
    answers->MayWrite = mayWrite;
    return [answers](const std::string& folders) {
        if (const auto known = answers->ByFolder.find(folders); known != answers->ByFolder.end())
            return known->second;
        std::string path = answers->Destination;
        if (!folders.empty())
            path += "/" + folders;
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        // The nearest existing folder: one not made yet lands on its parent's file system.
        struct stat info {};
        while ((::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) && path.size() > answers->Destination.size()) {
            const std::size_t slash = path.find_last_of('/');
            if (slash == std::string::npos || slash == 0)
                break;
            path.erase(slash);
        }
        const dev_t device = ::stat(path.c_str(), &info) == 0 ? info.st_dev : 0;
        auto known = answers->ByDevice.find(device);
        if (known == answers->ByDevice.end())
            known = answers->ByDevice.emplace(device, FileSystemIgnoresCase(path, answers->MayWrite)).first;
        answers->ByFolder.emplace(folders, known->second);
        return known->second;
    };
}

std::string FileSystemTypeOf(dev_t device, std::string_view mountInfo, std::string_view udevData, unsigned long magic)
{
    std::string type;
    for (const MountEntry& entry : ParseMountInfo(mountInfo)) {
        if (makedev(entry.Major, entry.Minor) == device)
            type = entry.FileSystem;
    }
    if (type.empty()) {
        // No mount table (no /proc): the kernel's number for the file system names the usual ones.
        static const std::unordered_map<unsigned long, std::string> kMagic = {
            {0x4d44, "vfat"}, {0x2011BAB0, "exfat"}, {0xFF534D42, "cifs"}, {0xFE534D42, "smb3"}, {0x482b, "hfsplus"}};
        constexpr unsigned long kFuseMagic = 0x65735546;
        if (const auto known = kMagic.find(magic); known != kMagic.end())
            type = known->second;
        else if (magic == kFuseMagic)
            type = major(device) != 0 ? kUnknownFuseblk : "fuse"; // only fuseblk sits on a block device
    }
    if (type != kUnknownFuseblk)
        return type;
    // A fuseblk mount (exfat-fuse, ntfs-3g) names its kind in the device's udev record.
    constexpr std::string_view kKey = "E:ID_FS_TYPE=";
    for (std::size_t at = 0; at < udevData.size();) {
        const std::size_t end = std::min(udevData.find('\n', at), udevData.size());
        const std::string_view line = udevData.substr(at, end - at);
        if (line.substr(0, kKey.size()) == kKey && line.size() > kKey.size())
            return "fuseblk." + std::string(line.substr(kKey.size()));
        at = end + 1;
    }
    return type;
}

bool TypeIgnoresCase(std::string_view type)
{
    // A FUSE mount names the file system it serves after a dot ("fuse.fusefat", "fuseblk.exfat").
    if (const std::size_t dot = type.find('.'); dot != std::string_view::npos && type.substr(0, 4) == "fuse")
        type.remove_prefix(dot + 1);
    static const std::unordered_set<std::string_view> ignoring = {"vfat", "msdos", "exfat", "fusefat", "cifs", "smb3",
                                                                  "hfsplus", kUnknownFuseblk};
    return ignoring.count(type) != 0;
}
