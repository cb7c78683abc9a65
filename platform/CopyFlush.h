#pragma once

#include "CopyHooks.h"

#include <cstddef>
#include <cstdint>

// The copy engine's flushes and the limits of the machine it works within.

// Whether `syncfs` on the file system that holds `fd` writes everything out. Decided by type,
// not by trying: older FUSE answers syncfs with success without flushing anything.
bool SyncfsHonoured(int fd);

// One flush, through the test hooks where they are set: 0 or an errno. A folder that cannot be
// flushed (EINVAL) has nothing more to offer and counts as done.
int Flush(FlushKind kind, int fd);

// fusefat answers EPERM, and some FUSE servers EIO, when the disk is full: `error`, or ENOSPC
// when it is one of those and the file system of `fd` has less free space than `needed`.
int FullAsNoSpace(int error, int fd, std::uint64_t needed);

// The most copies a group may hold open at once: a quarter of the limit on open files, which the
// first call raises towards its hard limit, to no more than 4096 (more harms select() users and
// is inherited by every child).
std::size_t OpenCopiesLimit();
