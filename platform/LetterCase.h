#pragma once

#include <string>

// Whether the file system that holds `folder` treats names that differ only in letter case as
// one name (FAT and exFAT on USB disks, most SMB shares, HFS+), found out once per destination:
// - an existing entry of the folder, or of a parent on the same file system, whose name has
//   letters is looked up with their case swapped: the lookup succeeding while the folder's
//   listing holds no entry of that spelling means case is ignored (inode numbers tell nothing:
//   FUSE file systems give each spelling its own);
// - where no such entry exists and `mayWrite`, a probe file is made in `folder` and removed;
// - otherwise the file system's type, as the mount table names it, decides (FAT, exFAT, SMB
//   and HFS+ ignore case).
// A `folder` that does not exist yet takes the answer of its nearest existing parent.
bool FileSystemIgnoresCase(const std::string& folder, bool mayWrite);
