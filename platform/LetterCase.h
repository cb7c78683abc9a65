#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

// Whether the file system that holds `folder` treats names that differ only in letter case as
// one name (FAT and exFAT on USB disks, most SMB shares, HFS+), found out once per destination:
// - an existing entry of the folder, or of a parent on the same file system, whose name has
//   letters is looked up with their case swapped: the lookup succeeding while the folder's
//   listing holds no entry of that spelling means case is ignored (inode numbers tell nothing:
//   FUSE file systems give each spelling its own);
// - where no such entry exists and `mayWrite`, a probe file is made in `folder` and removed;
// - otherwise the file system's type decides (FAT, exFAT, SMB and HFS+ ignore case); a fuseblk
//   volume whose real type cannot be learnt counts as ignoring case, without a probe.
// A `folder` that does not exist yet takes the answer of its nearest existing parent.
bool FileSystemIgnoresCase(const std::string& folder, bool mayWrite);

// The rule for each folder below `destination` ("Band/First/", "" for the destination itself):
// whether the file system that holds it, or its nearest existing parent, ignores letter case, as
// FileSystemIgnoresCase finds out once for each file system met (a disk mounted inside the
// destination has its own). The answers are kept for the life of the function returned.
std::function<bool(const std::string& folders)> LetterCaseIn(const std::string& destination, bool mayWrite);

// A fuseblk mount whose real type is not known.
inline constexpr std::string_view kUnknownFuseblk = "fuseblk";

// The type of the file system on `device`: as the mount table `mountInfo` (the text of
// /proc/self/mountinfo) names it ("vfat", "fuse.fusefat"); without an entry there, from the
// kernel's `magic` number of statfs for the usual types. A fuseblk mount takes its real type
// from the mount table ("fuseblk.exfat") or from the ID_FS_TYPE of `udevData`, the device's
// record under /run/udev/data ("fuseblk.exfat", "fuseblk.ntfs"); otherwise it stays "fuseblk".
std::string FileSystemTypeOf(dev_t device, std::string_view mountInfo, std::string_view udevData, unsigned long magic);

// True for the types of file systems that treat names differing only in letter case as one, and
// for a fuseblk volume of unknown kind (exFAT is the usual one).
bool TypeIgnoresCase(std::string_view type);
