#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

// The refusals' texts, for the file of one command.
inline constexpr const char* kExportOnPlayerMessage = "The export would be written onto the player.";
inline constexpr const char* kPlaylistOnPlayerMessage = "The playlist would be written onto the player.";

// Varnel only ever reads the player: nothing it writes (a copy, a playlist, an export) may land
// on it, whatever path leads there (the mount point itself, a folder below it, a link into it, a
// bind mount or second mount of it, a destination above the mount point whose template folders
// lead back into the player). Every write passes this gate before anything of its command is
// written.
class WriteGate {
public:
    // `playerRoot` is the folder that the tracks' locations are relative to. It is a player when
    // it holds an iPod_Control folder (any letter case); otherwise (empty, or the mount point
    // found for a database opened as a loose file) the gate lets everything through.
    explicit WriteGate(const std::string& playerRoot);

    // True when `folder`, or a file made in it, would lie on the player. A `folder` that does not
    // exist yet is judged by the nearest existing folder above it, as the kernel resolves it.
    // - When the player root is the root of a file system of its own (a mounted player), every
    //   folder on that file system is refused, which catches bind mounts of its folders.
    // - Otherwise (a player folder on the computer's own disk) the chain of parent folders is
    //   followed by device and inode up to the system's root, and a folder is refused when the
    //   player root is among them.
    // - A folder on a file system whose root holds an iPod_Control folder is refused too: a second
    //   mount of the player (each FUSE mount has a device of its own), or another player.
    bool RefusesFolder(const std::string& folder) const;

    // True when writing the file `path` would write onto the player: links are followed to the
    // file they lead to (made there when the link dangles), and that file's folder is judged.
    bool RefusesFile(const std::string& path) const;

    // The first of the files of one command that would be written onto the player, each folder
    // judged once; nullopt when the gate lets them all through.
    std::optional<std::string> FirstRefused(const std::vector<std::string>& files) const;

private:
    bool RefusesFile(const std::string& path, std::unordered_map<std::string, bool>& folders) const;

    bool Player = false;
    bool OwnFileSystem = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    // Whether the root of each file system met so far holds the player's folder.
    mutable std::unordered_map<dev_t, bool> PlayerFileSystems;
};

// WriteGate(playerRoot).RefusesFolder(folder).
bool WritesIntoPlayer(const std::string& folder, const std::string& playerRoot);

// The file that writing to `path` reaches: `path` with the links along its last component
// followed, a dangling link giving the file it would make. nullopt for a chain of links too long
// to follow (ELOOP).
std::optional<std::string> FileBehindLinks(const std::string& path);
