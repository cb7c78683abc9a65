#pragma once

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <unordered_map>
#include <vector>

// The refusals' texts, for the file of one command.
inline constexpr const char* kExportOnPlayerMessage = "The export would be written onto the player.";
inline constexpr const char* kPlaylistOnPlayerMessage = "The playlist would be written onto the player.";
inline constexpr const char* kCopyOnPlayerMessage = "The copy would be written onto the player.";

// The errno with which opening or making a folder fails when the gate refuses it. The calls
// that open and make folders never fail with it themselves, so it tells a refusal apart.
inline constexpr int kOnPlayerError = EXDEV;

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

    // True when the opened folder `fd`, or a file made in it, lies on the player; judged as
    // opened, so that no path is looked up again between the judgement and the write:
    // - its device (a mounted player), and the climb by ".." to the system's root (a player
    //   folder on the computer's own disk);
    // - its mount, found by its mount id in /proc/self/mountinfo: refused when the mount's root
    //   inside its file system has an iPod_Control folder on its way (a bind mount of a folder of
    //   a player) or when the top of the mount holds one (a second mount of the player); the
    //   answers are kept per mount. Without /proc, per device, by the climb;
    // - on a file system that ignores letter case and holds the player folder, its path
    //   compared with the player's, letter case folded (FUSE gives each spelling its own inode).
    // A descriptor that cannot be judged is refused.
    bool RefusesOpenedFolder(int fd) const;

    // True when the open file `fd` (a descriptor a command was given to write to) is a regular
    // file on the player. Pipes, terminals and devices are never refused.
    bool RefusesOpenedFile(int fd) const;

    // False when the gate lets everything through (no player around the database).
    bool GuardsPlayer() const { return Player; }

    // The first of the files of one command that would be written onto the player, each folder
    // judged once; nullopt when the gate lets them all through.
    std::optional<std::string> FirstRefused(const std::vector<std::string>& files) const;

private:
    bool RefusesFile(const std::string& path, std::unordered_map<std::string, bool>& folders) const;
    // Notes in PlayerMounts whether `mount`, which holds the open folder `fd`, lies inside a
    // player; false when the mount table cannot tell.
    bool JudgeMount(int fd, std::uint64_t mount) const;
    bool BelowPlayerByCase(int fd) const;

    bool Player = false;
    bool OwnFileSystem = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    // Whether the root of each file system met so far holds the player's folder.
    mutable std::unordered_map<dev_t, bool> PlayerFileSystems;
    // Whether each mount met so far lies inside a player, by mount id.
    mutable std::unordered_map<std::uint64_t, bool> PlayerMounts;
    // The player folder's path, letter case folded, when its file system ignores letter case.
    std::string FoldedPath;
};

// WriteGate(playerRoot).RefusesFolder(folder).
bool WritesIntoPlayer(const std::string& folder, const std::string& playerRoot);

// The file that writing to `path` reaches: `path` with the links along its last component
// followed, a dangling link giving the file it would make. nullopt for a chain of links too long
// to follow (ELOOP).
std::optional<std::string> FileBehindLinks(const std::string& path);
