#include "PlayerNotes.h"

#include "FileReader.h"
#include "ITDBParser.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <fcntl.h>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kHeaderFields = 16;
// Far more than any player writes: a Play Counts file of 100,000 tracks is under 3 MB.
constexpr std::size_t kNoteFileLimit = 64u * 1024 * 1024;

struct NoteHeader {
    std::size_t EntryLength = 0;
    std::size_t Count = 0;
    std::span<const unsigned char> Entries;
};

// Checks the header and that the file holds exactly the entries it announces.
std::optional<NoteHeader> ReadNoteHeader(std::span<const unsigned char> bytes, const char (&tag)[5],
                                         std::size_t minEntry, std::string& problem)
{
    if (bytes.size() < kHeaderFields || std::memcmp(bytes.data(), tag, 4) != 0) {
        problem = std::string("it does not start with a \"") + tag + "\" header";
        return std::nullopt;
    }
    const std::int64_t header = Int32At(bytes.data() + 4);
    const std::int64_t entry = Int32At(bytes.data() + 8);
    const std::int64_t count = Int32At(bytes.data() + 12);
    if (header < std::int64_t(kHeaderFields) || entry < std::int64_t(minEntry) || count < 0) {
        problem = "its header is damaged";
        return std::nullopt;
    }
    const std::int64_t expected = header + entry * count;
    if (expected != std::int64_t(bytes.size())) {
        problem = expected > std::int64_t(bytes.size()) ? "it is shorter than its header says"
                                                         : "it is longer than its header says";
        return std::nullopt;
    }
    return NoteHeader{static_cast<std::size_t>(entry), static_cast<std::size_t>(count),
                      bytes.subspan(static_cast<std::size_t>(header))};
}

std::uint32_t UInt32At(const unsigned char* p)
{
    return static_cast<std::uint32_t>(Int32At(p));
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// The highest N of the playlists named "On-The-Go N" that the computer made from the player's
// lists at earlier syncs; 0 when there are none.
int HighestOnTheGoNumber(const std::vector<OnePlaylist>& playlists)
{
    constexpr std::u16string_view kPrefix = u"On-The-Go ";
    int highest = 0;
    for (const OnePlaylist& playlist : playlists) {
        const std::u16string_view name = playlist.GetName();
        if (!name.starts_with(kPrefix) || name.size() == kPrefix.size() || name.size() > kPrefix.size() + 9)
            continue;
        int number = 0;
        for (const char16_t c : name.substr(kPrefix.size()))
            number = (c >= u'0' && c <= u'9' && number >= 0) ? number * 10 + (c - u'0') : -1;
        highest = std::max(highest, number);
    }
    return highest;
}

} // namespace

std::optional<std::vector<PlayCountEntry>> ReadPlayCounts(std::span<const unsigned char> bytes, std::string& problem)
{
    const std::optional<NoteHeader> header = ReadNoteHeader(bytes, "mhdp", 12, problem);
    if (!header)
        return std::nullopt;
    std::vector<PlayCountEntry> entries(header->Count);
    for (std::size_t i = 0; i < header->Count; ++i) {
        const unsigned char* at = header->Entries.data() + i * header->EntryLength;
        PlayCountEntry& entry = entries[i];
        entry.Plays = UInt32At(at);
        entry.LastPlayed = UInt32At(at + 4);
        // All bits set: no rating given on the player.
        if (header->EntryLength >= 16 && UInt32At(at + 12) != 0xFFFFFFFFu)
            entry.Rating = std::clamp(Int32At(at + 12), 0, 100);
        if (header->EntryLength >= 28)
            entry.Skips = UInt32At(at + 20);
    }
    return entries;
}

std::optional<std::vector<std::uint32_t>> ReadOnTheGo(std::span<const unsigned char> bytes, std::string& problem)
{
    const std::optional<NoteHeader> header = ReadNoteHeader(bytes, "mhpo", 4, problem);
    if (!header)
        return std::nullopt;
    std::vector<std::uint32_t> indexes(header->Count);
    for (std::size_t i = 0; i < header->Count; ++i)
        indexes[i] = UInt32At(header->Entries.data() + i * header->EntryLength);
    return indexes;
}

PlayerNoteFiles FindPlayerNoteFiles(const std::string& databasePath)
{
    const std::size_t slash = databasePath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : databasePath.substr(0, slash + 1);
    PlayerNoteFiles found;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return found;
    // The first of each name in letter case order; the folder is read once for all of them.
    std::map<std::string, std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string lower = Lower(entry->d_name);
        if (lower == "play counts" || lower.starts_with("otgplaylistinfo"))
            names.emplace(std::move(lower), folder + entry->d_name);
    }
    ::closedir(dir);
    if (auto it = names.find("play counts"); it != names.end())
        found.PlayCounts = it->second;
    for (std::size_t n = 0;; ++n) {
        const auto it = names.find(n == 0 ? std::string("otgplaylistinfo") : "otgplaylistinfo_" + std::to_string(n));
        if (it == names.end())
            break;
        found.OnTheGo.push_back(it->second);
    }
    return found;
}

std::string PlayerFolderOf(const std::string& path)
{
    // Made whole from the current folder first, so that a relative path names its folders too.
    std::error_code error;
    const std::filesystem::path whole = std::filesystem::absolute(path, error).lexically_normal();
    const std::filesystem::path folder = (error ? std::filesystem::path(path) : whole).parent_path();
    if (Lower(folder.parent_path().filename().string()) == "ipod_control")
        return folder.parent_path().parent_path().string();
    return folder.empty() ? "." : folder.string();
}

int OpenPlayerFile(const std::string& path, std::string& problem)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        problem = std::strerror(errno);
        return -1;
    }
    // Where the opened file really lies: its path with every link followed must name the very
    // file that was opened, and lie within the player's folder.
    char* real = ::realpath(path.c_str(), nullptr);
    char* top = ::realpath(PlayerFolderOf(path).c_str(), nullptr);
    struct stat opened {}, named {};
    bool inside = real && top && ::fstat(fd, &opened) == 0 && ::stat(real, &named) == 0 &&
                  opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
    if (inside) {
        const std::string_view file(real), folder(top);
        inside = folder == "/" || (file.starts_with(folder) && file.size() > folder.size() && file[folder.size()] == '/');
    }
    std::free(real);
    std::free(top);
    if (!inside) {
        ::close(fd);
        problem = kLinkLeadsOut;
        return -1;
    }
    return fd;
}

std::string LeftOutWarning(const std::string& path, const std::string& what, const std::string& problem)
{
    if (problem == kLinkLeadsOut)
        return path + ": left out: " + problem;
    return path + ": " + what + " left out: " + problem;
}

bool ReadSmallFile(const std::string& path, std::size_t limit, std::vector<unsigned char>& bytes,
                   std::string& problem)
{
    const int fd = OpenPlayerFile(path, problem);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok)
        problem = "not a regular file";
    else if (static_cast<std::uint64_t>(info.st_size) > limit)
        ok = false, problem = "too large";
    if (ok) {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                ok = false;
                problem = got < 0 ? std::strerror(errno) : "it changed while it was read";
            } else {
                done += static_cast<std::size_t>(got);
            }
        }
    }
    ::close(fd);
    return ok;
}

std::vector<PlayCountEntry> ITDBParser::ReadPlayCountsFile(const std::string& path)
{
    std::vector<unsigned char> bytes;
    std::string problem;
    std::optional<std::vector<PlayCountEntry>> entries;
    if (ReadSmallFile(path, kNoteFileLimit, bytes, problem))
        entries = ReadPlayCounts(bytes, problem);
    if (!entries) {
        Warnings.push_back(LeftOutWarning(path, "the plays since the last sync are", problem));
        return {};
    }
    return std::move(*entries);
}

void ITDBParser::AddOnTheGo(const std::vector<std::string>& paths, std::vector<OneTrack*>& listed)
{
    if (paths.empty())
        return;
    // A record replaced by a later one with the same id is no longer at its position.
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (listed[i]->GetOrdinal() != static_cast<std::int32_t>(i + 1))
            listed[i] = nullptr;
    }
    std::vector<unsigned char> bytes;
    std::string problem;
    int number = HighestOnTheGoNumber(Playlists);
    for (const std::string& path : paths) {
        std::optional<std::vector<std::uint32_t>> indexes;
        if (ReadSmallFile(path, kNoteFileLimit, bytes, problem))
            indexes = ReadOnTheGo(bytes, problem);
        if (!indexes) {
            Warnings.push_back(LeftOutWarning(path, "the On-The-Go playlist is", problem));
            continue;
        }
        OnePlaylist playlist;
        for (const std::uint32_t index : *indexes) {
            if (index < listed.size() && listed[index])
                playlist.AddItem(listed[index]->GetTrackId());
        }
        if (playlist.ItemCount() == 0)
            continue;
        const std::string name = "On-The-Go " + std::to_string(++number);
        playlist.SetName(std::u16string(name.begin(), name.end()));
        Playlists.push_back(std::move(playlist));
    }
}

void ITDBParser::MergePlayCount(OneTrack& track, const PlayCountEntry& entry)
{
    constexpr std::int64_t kMost = std::numeric_limits<std::int32_t>::max();
    TrackDetails details = track.GetDetails();
    details.PlayCount = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t(details.PlayCount) + entry.Plays, kMost));
    details.SkipCount = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t(details.SkipCount) + entry.Skips, kMost));
    if (entry.LastPlayed != 0)
        details.LastPlayed = Clock.ToUtc(entry.LastPlayed);
    if (entry.Rating)
        details.Rating = *entry.Rating;
    track.SetDetails(details);
}
