#include "PlayerFilesSource.h"

#include "CliError.h"
#include "PlayerPaths.h"
#include "RescuePlayer.h"
#include "TerminalText.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Unread = false;

} // namespace

bool PlayerFilesUnread()
{
    return Unread;
}

PlayerDatabase OpenPlayerFiles(const std::string& given, int trackLimit)
{
    struct stat info {};
    if (::stat(given.c_str(), &info) != 0)
        throw CliError(given + ": " + std::strerror(errno));
    if (!S_ISDIR(info.st_mode))
        throw CliError(given + ": --from-files needs the player's folder (where it is mounted), not a file");
    const std::string path = PlayerRootAbove(given);
    if (!FindPathNoCase(path, "iPod_Control"))
        throw CliError(path + ": no player here (looked for its iPod_Control folder)");
    // The music folders gone, the database may still name the tracks.
    if (!FindPathNoCase(path, "iPod_Control/Music"))
        std::cerr << "varnel-cli: warning: " << path
                  << ": no iPod_Control/Music folder; only the tracks the database still holds are listed\n";

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    auto lastDraw = std::chrono::steady_clock::time_point{};
    std::size_t shown = 0;
    RescuedPlayer rescued = RescuePlayer(path, [&](int done, int total) {
        const auto now = std::chrono::steady_clock::now();
        if (!terminal || (done < total && now - lastDraw < std::chrono::milliseconds(100)))
            return true;
        lastDraw = now;
        const std::string line = "Reading tags: " + std::to_string(done) + " of " + std::to_string(total);
        RedrawTerminalLine(std::cerr, done == total ? "" : line, shown);
        shown = done == total ? 0 : line.size();
        std::cerr << std::flush;
        return true;
    });
    for (const SkippedFile& skipped : rescued.Skipped) {
        std::cerr << "varnel-cli: skipped " << skipped.Path << ": " << skipped.Reason << '\n';
        Unread = Unread || skipped.Unreadable;
    }
    if (terminal) {
        std::cerr << "varnel-cli: Rescued " << rescued.FromDatabase + rescued.FromTags << " track(s)";
        if (rescued.FromDatabase > 0)
            std::cerr << ", " << rescued.FromDatabase
                      << (rescued.Database->FoundDamage() ? " from the damaged database" : " from the database");
        std::cerr << '\n';
    }

    // As in the window: "Files on the player" is the master, with every track, then the
    // salvaged playlists.
    PutAllFilesFirst(rescued);
    PlayerDatabase db;
    db.DatabasePath = rescued.Database->GetFileName();
    db.PlayerRoot = path;
    db.TracksRead = rescued.FromDatabase + rescued.FromTags;
    db.Parser = std::move(rescued.Database);
    db.AllFiles = *db.Parser->GetPlaylist(0);
    db.RowLimit = trackLimit;
    return db;
}

PlayerDatabase OpenForCommand(const std::string& path, int trackLimit, bool fromFiles)
{
    return fromFiles ? OpenPlayerFiles(path, trackLimit) : OpenPlayerDatabase(path, trackLimit);
}
