#pragma once

#include <string>

// Opens the file at `relative` below the folder `rootFd` for reading, without following any
// link that leads out of that folder: a track's file on a player kept on a Linux file system
// can be a link to /etc/passwd, or sit in a folder that is a link to /etc. Where the kernel
// offers openat2 it resolves the path strictly beneath the folder; elsewhere each component is
// opened without following links, and any link is refused. Returns a descriptor, or -1 with
// errno set: EXDEV when the path leads out of the folder. With `lookOnly` the file is not opened
// for reading but only located (O_PATH), so that its type can be looked at before a device node
// or a pipe is ever opened.
int OpenBeneath(int rootFd, const std::string& relative, bool lookOnly = false);
