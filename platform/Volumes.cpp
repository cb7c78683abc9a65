#include "Volumes.h"

#include "PlayerPaths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <utility>

namespace {

VolumeSource* gInstalled = nullptr;

std::vector<std::string_view> Fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(line.find(' ', start), line.size());
        fields.push_back(line.substr(start, end - start));
        pos = end;
    }
    return fields;
}

bool ParseDevice(std::string_view text, unsigned& major, unsigned& minor)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size())
        return false;
    auto number = [](std::string_view digits, unsigned& out) {
        unsigned value = 0;
        for (const char c : digits) {
            if (c < '0' || c > '9' || value > 0xFFFFFFu)
                return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        out = value;
        return true;
    };
    return number(text.substr(0, colon), major) && number(text.substr(colon + 1), minor);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string ReadSmallFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text;
    std::getline(in, text);
    return text;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class SystemProbe final : public VolumeProbe {
public:
    std::optional<bool> Removable(unsigned major, unsigned minor) override
    {
        const std::string device = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
        if (!Exists(device))
            return std::nullopt;
        // A partition has no flag of its own: its disk is the folder above it.
        const std::string flag = Exists(device + "/partition") ? device + "/../removable" : device + "/removable";
        return ReadSmallFile(flag) == "1";
    }

    std::string Label(unsigned major, unsigned minor) override
    {
        if (!LabelsRead) {
            LabelsRead = true;
            ReadLabels();
        }
        const auto it = Labels.find(makedev(major, minor));
        return it == Labels.end() ? std::string() : it->second;
    }

    bool HoldsPlayerFolder(const std::string& mountPoint) override
    {
        const auto folder = FindPathNoCase(mountPoint, "iPod_Control");
        struct stat st {};
        return folder && ::stat(folder->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }

private:
    void ReadLabels()
    {
        const std::string folder = "/dev/disk/by-label/";
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            return;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            struct stat st {};
            if (name == "." || name == ".." || ::stat((folder + name).c_str(), &st) != 0 || !S_ISBLK(st.st_mode))
                continue;
            Labels.emplace(st.st_rdev, DecodeHexEscapes(name));
        }
        ::closedir(dir);
    }

    bool LabelsRead = false;
    std::map<dev_t, std::string> Labels;
};

} // namespace

VolumeSource::~VolumeSource() = default;

VolumeSource& VolumeSource::Current()
{
    static SystemVolumeSource system;
    return gInstalled ? *gInstalled : system;
}

void VolumeSource::Install(VolumeSource* source)
{
    gInstalled = source;
}

VolumeProbe::~VolumeProbe() = default;

std::string DecodeOctalEscapes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto octal = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '7'; };
        if (text[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3) && text[i + 1] <= '3') {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string DecodeHexEscapes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0
            && HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text)
{
    std::vector<MountEntry> entries;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        const auto fields = Fields(text.substr(pos, end - pos));
        pos = end + 1;
        // id parent major:minor root mountpoint options [optional fields...] - fstype source superoptions
        const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
        MountEntry entry;
        if (fields.size() < 6 || dash - fields.begin() < 6 || fields.end() - dash < 3
            || !ParseDevice(fields[2], entry.Major, entry.Minor))
            continue;
        entry.Root = DecodeOctalEscapes(fields[3]);
        entry.MountPoint = DecodeOctalEscapes(fields[4]);
        entry.FileSystem = DecodeOctalEscapes(dash[1]);
        entry.Source = DecodeOctalEscapes(dash[2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsLocalBlockFileSystem(const MountEntry& entry)
{
    static constexpr std::array<std::string_view, 15> kNetwork = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p", "ceph",
        "glusterfs", "lustre", "davfs", "coda", "virtiofs", "gfs2"};
    const std::string_view fs = entry.FileSystem;
    if (std::find(kNetwork.begin(), kNetwork.end(), fs) != kNetwork.end())
        return false;
    // FUSE file systems reach anywhere (sshfs, cloud drives); only fuseblk sits on a block device.
    if (fs.rfind("fuse", 0) == 0 && fs != "fuseblk")
        return false;
    return entry.Source.rfind("/dev/", 0) == 0;
}

bool IsOpticalDisc(const MountEntry& entry)
{
    constexpr unsigned kScsiCdRomMajor = 11;
    return entry.FileSystem == "iso9660" || entry.FileSystem == "udf" || entry.Major == kScsiCdRomMajor;
}

std::vector<Volume> CandidateVolumes(std::string_view mountInfo, VolumeProbe& probe)
{
    // Later mounts hide earlier ones at the same mount point.
    std::map<std::string, MountEntry> visible;
    for (MountEntry& entry : ParseMountInfo(mountInfo))
        visible.insert_or_assign(entry.MountPoint, std::move(entry));

    std::vector<Volume> volumes;
    for (const auto& [mountPoint, entry] : visible) {
        // A bind mount of a folder inside a file system is not a volume of its own.
        if (entry.Root != "/" || !IsLocalBlockFileSystem(entry) || IsOpticalDisc(entry))
            continue;
        const std::optional<bool> removable = probe.Removable(entry.Major, entry.Minor);
        if (!removable)
            continue;
        if (*removable || probe.HoldsPlayerFolder(mountPoint))
            volumes.push_back({mountPoint, probe.Label(entry.Major, entry.Minor)});
    }
    return volumes;
}

std::vector<Volume> SystemVolumeSource::ListVolumes()
{
    SystemProbe probe;
    return CandidateVolumes(ReadSystemFile("/proc/self/mountinfo"), probe);
}

std::string ReadSystemFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
