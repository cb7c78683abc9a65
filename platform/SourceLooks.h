#pragma once

#include "FileCopy.h"

#include <string>
#include <unordered_map>

// The one look a run takes at each source while it plans, without opening the file: a status
// call beneath the player's folder (each folder of the player opened once, beneath its root), so
// that a device node, a pipe, a folder or a file reached by a link out of the player is refused
// before anything touches it. The copy later opens the file and compares it with the look. No
// descriptor outlives the planning: the object holds them and closes them when it goes.
class SourceLooks {
public:
    // `root`: the player's folder, which every source must lie beneath; empty for no such rule.
    explicit SourceLooks(std::string root);
    ~SourceLooks();
    SourceLooks(const SourceLooks&) = delete;
    SourceLooks& operator=(const SourceLooks&) = delete;

    // The refusal (kLeavesPlayerMessage, kNotAFileMessage, or the system's reason), or success
    // with what was seen in `look`.
    CopyResult Look(const std::string& source, SourceLook& look);

private:
    int FolderFd(const std::string& relative);
    void CloseFolders();

    std::string Root;
    int RootFd = -1;
    int RootError = 0;
    std::unordered_map<std::string, int> Folders; // folders of the player below Root, opened O_PATH
};

// Opens `source`, beneath `rootFd` (the folder `root`) when `root` is set, without following a
// link out of it; with `lookOnly` only located (O_PATH). Anything but a regular file is refused.
// A descriptor (its status in `seen` when given), or -1 with the refusal in `failure`.
int OpenSourceFile(int rootFd, const std::string& root, const std::string& source, bool lookOnly, CopyResult& failure,
                   struct stat* seen = nullptr);

// What `st` shows of a source, as a look.
SourceLook LookOf(const struct stat& st);
