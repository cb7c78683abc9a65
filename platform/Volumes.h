#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The mounted file systems that may be a player: what the drive dialog lists.

struct Volume {
    std::string MountPoint;
    std::string Label; // may be empty
};

// Where the drive dialog gets its volumes from; tests install a scripted one.
class VolumeSource {
public:
    virtual ~VolumeSource();
    // The candidate volumes, in no particular order.
    virtual std::vector<Volume> ListVolumes() = 0;

    // The source in use: the system's own unless a test installed another.
    static VolumeSource& Current();
    // Installs `source` (not owned); nullptr restores the system's.
    static void Install(VolumeSource* source);
};

// One line of /proc/self/mountinfo.
struct MountEntry {
    unsigned Major = 0;
    unsigned Minor = 0;
    std::string Root;       // the folder of the file system mounted here ("/" for the whole)
    std::string MountPoint; // escapes decoded
    std::string FileSystem; // "vfat", "ext4", "nfs4", "fuse.sshfs", ...
    std::string Source;     // "/dev/sdb1", "server:/share", "tmpfs", ...
};

// The whole text of a file of the system (/proc/self/mountinfo, a udev record); empty when it
// cannot be read, as without /proc, where no volume is listed.
std::string ReadSystemFile(const std::string& path);

// Parses the text of a mountinfo file. Lines that do not have the expected fields are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// Decodes the octal escapes of mountinfo paths ("\040" is a blank); other text is kept.
std::string DecodeOctalEscapes(std::string_view text);
// Decodes the "\xNN" escapes of udev's /dev/disk/by-label names; other text is kept.
std::string DecodeHexEscapes(std::string_view text);

// True for a file system on a local block device. Network and virtual file systems, where
// looking for a folder could hang or mean nothing, are false.
bool IsLocalBlockFileSystem(const MountEntry& entry);

// True for a disc in an optical drive: an iso9660 or udf file system, or a device of the SCSI
// CD-ROM driver (block major 11). The kernel marks such drives removable, yet no player is one.
bool IsOpticalDisc(const MountEntry& entry);

// What the system says about block devices and folders, so that the choice of volumes can be
// tested with any answers.
class VolumeProbe {
public:
    virtual ~VolumeProbe();
    // Whether the disk of block device major:minor (for a partition, its disk) holds removable
    // media; nullopt when there is no such block device.
    virtual std::optional<bool> Removable(unsigned major, unsigned minor) = 0;
    virtual std::string Label(unsigned major, unsigned minor) = 0;
    // Whether the root of the file system mounted there holds an iPod_Control folder.
    virtual bool HoldsPlayerFolder(const std::string& mountPoint) = 0;
};

// The volumes worth offering: every whole file system on a local block device whose disk is
// removable, and any other on a local block device that holds the player's folder at its root;
// never an optical disc.
// A mount point listed twice keeps its last mount, the one that is visible.
std::vector<Volume> CandidateVolumes(std::string_view mountInfo, VolumeProbe& probe);

// The system's volumes: /proc/self/mountinfo, sysfs and /dev/disk/by-label.
class SystemVolumeSource final : public VolumeSource {
public:
    std::vector<Volume> ListVolumes() override;
};
