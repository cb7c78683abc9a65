// Reading a damaged or cut-short database as far as it goes, for the rescue of a player.
#include "ITDBParser.h"

#include "CompressedDatabase.h"
#include "FileReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::int32_t kTrackDataSet = 1;
constexpr std::int32_t kPlaylistDataSet = 2;
constexpr std::int64_t kNotFound = -1;

bool TagAt(FileReader& file, std::int64_t offset, const char (&tag)[5])
{
    return offset >= 0 && file.SeekTo(offset) && file.ReadTag(tag);
}

// The offset of the first `tag` at or after `from`, or kNotFound when the end of the file, or
// a `stop` tag (when one is given), comes first. The search reads a little at first and more the longer it goes, so
// that finding the next record after a damaged one costs about the distance to it.
std::int64_t FindTag(FileReader& file, std::int64_t from, const char (&tag)[5], const char* stop = nullptr)
{
    std::vector<char> block;
    std::size_t chunk = 256;
    for (std::int64_t at = from; at + 4 <= file.Size();) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(std::int64_t(chunk), file.Size() - at));
        block.resize(n);
        if (!file.SeekTo(at) || !file.Read(block.data(), n))
            return kNotFound;
        for (std::size_t i = 0; i + 4 <= n; ++i) {
            if (std::memcmp(block.data() + i, tag, 4) == 0)
                return at + std::int64_t(i);
            if (stop && std::memcmp(block.data() + i, stop, 4) == 0)
                return kNotFound;
        }
        at += std::int64_t(n) - 3; // a tag may straddle two blocks
        if (n < 4 || at + 4 > file.Size())
            break;
        chunk = std::min<std::size_t>(chunk * 2, 64 * 1024);
    }
    return kNotFound;
}

// Where a list's first record is: after the list header when it is there and its length is
// believable, else the first record of that kind before the next data set.
std::int64_t FirstChild(FileReader& file, std::int64_t listAt, const char (&listTag)[5], const char (&childTag)[5])
{
    std::int32_t header = 0;
    if (TagAt(file, listAt, listTag) && file.ReadInt32(header) && header >= 12 && TagAt(file, listAt + header, childTag))
        return listAt + header;
    return FindTag(file, listAt, childTag, "mhsd");
}

} // namespace

template <class ReadOne>
void ITDBParser::SalvageList(FileReader& file, std::int64_t listAt, const char (&listTag)[5], const char (&childTag)[5],
                             ReadOne readOne)
{
    // The list holds as many records as its header says, each right after the one before.
    std::int32_t header = 0;
    std::int32_t declared = -1;
    if (!(TagAt(file, listAt, listTag) && file.ReadInt32(header) && file.ReadInt32(declared)))
        SalvageFoundDamage = true;
    std::int32_t kept = 0;
    std::int64_t at = FirstChild(file, listAt, listTag, childTag);
    while (at >= 0) {
        // A record that reads whole ends past where it began and is kept; the next one is
        // expected right after it. After a damaged one the next record of its kind is looked for.
        const bool whole = file.SeekTo(at) && readOne(file) && file.Position() > at;
        const std::int64_t end = whole ? file.Position() : at + 4;
        kept += whole ? 1 : 0;
        if (whole && TagAt(file, end, childTag)) {
            at = end;
        } else {
            at = FindTag(file, end, childTag, "mhsd");
            if (!whole || at >= 0)
                SalvageFoundDamage = true;
        }
    }
    if (kept != declared)
        SalvageFoundDamage = true;
}

int ITDBParser::Salvage()
{
    FileReader file;
    const KeepOperationCount keepCount{file, FileOperationCount};
    SalvageFoundDamage = true;
    if (!file.Open(FileName) || !InflateIfCompressed(file))
        return -1;

    // The header's length is a hint: the first data set is where it points when one is there.
    std::int32_t header = 0;
    std::int64_t set = kNotFound;
    SalvageFoundDamage = false;
    if (TagAt(file, 0, "mhbd") && file.ReadInt32(header) && header >= 12 && TagAt(file, header, "mhsd")) {
        set = header;
    } else {
        SalvageFoundDamage = true;
        set = FindTag(file, 0, "mhsd");
    }
    if (set == kNotFound)
        return -1;

    int read = 0;
    bool tracksDone = false;
    bool playlistsDone = false;
    while (set >= 0 && !(tracksDone && playlistsDone)) {
        unsigned char head[16];
        if (!file.SeekTo(set) || !file.Read(head, sizeof head) || std::memcmp(head, "mhsd", 4) != 0)
            break;
        const std::int32_t setHeader = Int32At(head + 4);
        const std::int32_t setTotal = Int32At(head + 8);
        const std::int32_t type = Int32At(head + 12);
        const std::int64_t listAt = set + std::max<std::int32_t>(setHeader, 16);
        if (type == kTrackDataSet && !tracksDone) {
            tracksDone = true;
            SalvageList(file, listAt, "mhlt", "mhit", [&](FileReader& f) {
                OneTrack track(&Arena);
                if (!ReadTrack(f, track))
                    return false;
                track.SetOrdinal(++read);
                const std::int32_t id = track.GetTrackId();
                Tracks.insert_or_assign(Tracks.end(), id, std::move(track));
                return true;
            });
        } else if (type == kPlaylistDataSet && !playlistsDone) {
            playlistsDone = true;
            SalvageList(file, listAt, "mhlp", "mhyp", [&](FileReader& f) {
                OnePlaylist playlist;
                if (!ReadPlaylist(f, playlist))
                    return false;
                Playlists.push_back(std::move(playlist));
                return true;
            });
        }
        // The next data set: where the total length points when one is there, else the next found.
        const std::int64_t next = setTotal >= 16 && TagAt(file, set + setTotal, "mhsd")
                                      ? set + setTotal
                                      : FindTag(file, set + 16, "mhsd");
        if (next <= set)
            break;
        set = next;
    }
    if (!(tracksDone && playlistsDone))
        SalvageFoundDamage = true;
    ScratchUnits = std::u16string();
    ScratchNarrow = std::string();
    return read;
}

ITDBParser::KeepOperationCount::~KeepOperationCount()
{
    count = file.Operations();
}

void ITDBParser::AddTrack(OneTrack track)
{
    const std::int32_t id = track.GetTrackId();
    Tracks.insert_or_assign(id, std::move(track));
}

void ITDBParser::InsertPlaylist(int index, OnePlaylist playlist)
{
    index = std::clamp(index, 0, PlaylistCount());
    Playlists.insert(Playlists.begin() + index, std::move(playlist));
}

void ITDBParser::RemovePlaylist(int index)
{
    if (index >= 0 && index < PlaylistCount())
        Playlists.erase(Playlists.begin() + index);
}
