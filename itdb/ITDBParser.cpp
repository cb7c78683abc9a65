#include "ITDBParser.h"

#include "CompressedDatabase.h"
#include "FileReader.h"
#include "PlayerNotes.h"
#include "TextConvert.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

namespace {

constexpr std::int32_t kTrackDataSet = 1;
constexpr std::int32_t kPlaylistDataSet = 2;

// Data object types read inside a track.
constexpr std::int32_t kTitle = 1;
constexpr std::int32_t kLocation = 2;
constexpr std::int32_t kAlbum = 3;
constexpr std::int32_t kArtist = 4;
constexpr std::int32_t kGenre = 5;
constexpr std::int32_t kFileType = 6;
constexpr std::int32_t kComment = 8;
constexpr std::int32_t kComposer = 12;
constexpr std::int32_t kAlbumArtist = 22;

// The fields the reader takes from a track header end here; a shorter header is still read
// from this offset, and the data objects then start at the header length (a backwards seek).
constexpr std::size_t kTrackHeaderRead = 212;
constexpr std::size_t kTrackHeaderLong = 356;
constexpr std::size_t kPlaylistHeaderRead = 48;
constexpr std::int32_t kItemHeaderRead = 28;
// What of a data object has been read when it is passed over: inside a track or playlist the
// tag, header length, total length and type; inside a playlist item only the first three.
constexpr std::int32_t kObjectHeadRead = 16;
constexpr std::int32_t kItemObjectHeadRead = 12;

// Reads the first `size` bytes of a chunk, which must start with `tag`.
template <std::size_t size>
bool ReadChunkHead(FileReader& file, const char (&tag)[5], unsigned char (&head)[size])
{
    return file.Read(head, size) && std::memcmp(head, tag, 4) == 0;
}

// The numbers of a track header beyond the list's columns. Older players write shorter headers
// (156 or 160 bytes): a field that does not lie wholly inside the header's stated length stays
// at its default, since the bytes there belong to the first data object.
TrackDetails ReadTrackDetails(const unsigned char* head, std::int32_t headerLength, PlayerClock& clock)
{
    const auto inside = [headerLength](std::int32_t offset, std::int32_t size) { return headerLength >= offset + size; };
    TrackDetails details;
    if (inside(30, 1))
        details.Compilation = head[30] != 0;
    if (inside(31, 1))
        details.Rating = head[31];
    if (inside(36, 4))
        details.FileSize = static_cast<std::uint32_t>(Int32At(head + 36));
    if (inside(48, 4))
        details.TrackCount = Int32At(head + 48);
    if (inside(52, 4))
        details.Year = Int32At(head + 52);
    if (inside(80, 4))
        details.PlayCount = Int32At(head + 80);
    if (inside(88, 4) && Int32At(head + 88) != 0)
        details.LastPlayed = clock.ToUtc(static_cast<std::uint32_t>(Int32At(head + 88)));
    if (inside(92, 4))
        details.DiscNumber = Int32At(head + 92);
    if (inside(96, 4))
        details.DiscCount = Int32At(head + 96);
    if (inside(104, 4))
        details.DateAdded = clock.ToUtc(static_cast<std::uint32_t>(Int32At(head + 104)));
    if (inside(112, 8))
        details.DatabaseId = static_cast<std::uint32_t>(Int32At(head + 112))
                             | std::uint64_t(static_cast<std::uint32_t>(Int32At(head + 116))) << 32;
    if (inside(156, 4))
        details.SkipCount = Int32At(head + 156);
    if (inside(352, 4))
        details.ArtworkId = static_cast<std::uint32_t>(Int32At(head + 352));
    return details;
}

void SetWideText(OneTrack& track, std::int32_t type, std::u16string_view text)
{
    switch (type) {
    case kTitle: track.SetTitle(text); break;
    case kAlbum: track.SetAlbum(text); break;
    case kArtist: track.SetArtist(text); break;
    case kGenre: track.SetGenre(text); break;
    case kComment: track.SetComment(text); break;
    case kComposer: track.SetComposer(text); break;
    default: track.SetAlbumArtist(text); break;
    }
}

} // namespace

ITDBParser::ITDBParser(std::string fileName) : FileName(std::move(fileName)) {}

ITDBParser::~ITDBParser() = default;

int ITDBParser::Parse(int trackLimit)
{
    FileReader file;
    const KeepOperationCount keepCount{file, FileOperationCount};
    if (!file.Open(FileName) || !InflateIfCompressed(file))
        return -1;

    const int count = CountTracks(file);
    if (count <= 0)
        return count < 0 ? -1 : 0;

    const int wanted = trackLimit < 0 ? count : std::min(count, trackLimit);
    int read = 0;
    // The player's notes name the tracks by their position in the database's list.
    const PlayerNoteFiles notes = FindPlayerNoteFiles(FileName);
    const std::vector<PlayCountEntry> playCounts =
        notes.PlayCounts.empty() ? std::vector<PlayCountEntry>() : ReadPlayCountsFile(notes.PlayCounts);
    std::vector<OneTrack*> listed;
    // Each track that reads cleanly ends past where it began, so this loop is bounded by the
    // size of the file, not by the count it claims.
    for (int i = 0; i < wanted; ++i) {
        const std::int64_t start = file.Position();
        OneTrack track(&Arena);
        if (!ReadTrack(file, track) || file.Position() <= start)
            break;
        ++read;
        track.SetOrdinal(read);
        if (static_cast<std::size_t>(read) <= playCounts.size())
            MergePlayCount(track, playCounts[static_cast<std::size_t>(read - 1)]);
        const std::int32_t id = track.GetTrackId();
        // Real databases mostly list tracks by ascending id, so the end is the usual place.
        OneTrack& kept = Tracks.insert_or_assign(Tracks.end(), id, std::move(track))->second;
        if (!notes.OnTheGo.empty())
            listed.push_back(&kept);
    }

    const int playlists = CountPlaylists(file);
    for (int i = 0; i < playlists; ++i) {
        const std::int64_t start = file.Position();
        OnePlaylist playlist;
        if (!ReadPlaylist(file, playlist) || file.Position() <= start)
            break;
        Playlists.push_back(std::move(playlist));
    }
    ScratchUnits = std::u16string();
    ScratchNarrow = std::string();
    AddOnTheGo(notes.OnTheGo, listed);
    return read;
}

const OneTrack* ITDBParser::FindTrack(std::int32_t trackId) const
{
    const auto it = Tracks.find(trackId);
    return it == Tracks.end() ? nullptr : &it->second;
}

OnePlaylist* ITDBParser::GetPlaylist(int index)
{
    if (index < 0 || index >= PlaylistCount())
        return nullptr;
    return &Playlists[static_cast<std::size_t>(index)];
}

int ITDBParser::CountTracks(FileReader& file)
{
    return CountList(file, kTrackDataSet, "mhlt");
}

int ITDBParser::CountPlaylists(FileReader& file)
{
    return CountList(file, kPlaylistDataSet, "mhlp");
}

int ITDBParser::CountList(FileReader& file, std::int32_t wantedType, const char (&listTag)[5])
{
    std::int32_t headerLength = 0;
    std::int32_t totalLength = 0;
    if (!file.SeekTo(0) || !file.ReadTag("mhbd") || !ReadInt(file, headerLength) || !ReadInt(file, totalLength))
        return -1;
    if (totalLength != file.Size())
        return -1;
    if (!file.SeekTo(headerLength))
        return -1;

    // Data sets follow one another by their total lengths; only the first of the wanted type counts.
    for (;;) {
        std::int32_t setHeader = 0;
        std::int32_t setTotal = 0;
        std::int32_t type = 0;
        if (!file.ReadTag("mhsd") || !ReadInt(file, setHeader) || !ReadInt(file, setTotal) || !ReadInt(file, type))
            return -1;
        if (type == wantedType) {
            if (!file.Skip(std::int64_t(setHeader) - 16))
                return -1;
            break;
        }
        // A total length shorter than what was just read would lead back onto this same data set.
        if (setTotal < 16 || !file.Skip(std::int64_t(setTotal) - 16))
            return -1;
    }

    std::int32_t listHeader = 0;
    std::int32_t count = 0;
    if (!file.ReadTag(listTag) || !ReadInt(file, listHeader) || !ReadInt(file, count))
        return -1;
    if (!file.Skip(std::int64_t(listHeader) - 12))
        return -1;
    return count;
}

bool ITDBParser::ReadTrack(FileReader& file, OneTrack& track)
{
    // Every field the reader takes lies in the first 212 bytes, and each of them must be there,
    // so the header is read in one piece (a track that ends sooner fails either way).
    // Newer headers also hold the track's image item at 352; those are read that far.
    unsigned char head[kTrackHeaderLong];
    if (!file.Read(head, kTrackHeaderRead) || std::memcmp(head, "mhit", 4) != 0)
        return false;
    const std::int32_t header = Int32At(head + 4);
    const std::int32_t objects = Int32At(head + 12);
    if (objects < 2)
        return false;
    std::size_t headRead = kTrackHeaderRead;
    if (header >= std::int32_t(kTrackHeaderLong)) {
        if (!file.Read(head + kTrackHeaderRead, kTrackHeaderLong - kTrackHeaderRead))
            return false;
        headRead = kTrackHeaderLong;
    }
    track.SetTrackId(Int32At(head + 16));
    track.SetLength(static_cast<std::uint32_t>(Int32At(head + 40)));
    track.SetTrackNumber(Int32At(head + 44));
    track.SetBitRate(Int32At(head + 56));
    track.SetSampleRate(Int32At(head + 60));
    track.SetMediaType(Int32At(head + 208));
    track.SetDetails(ReadTrackDetails(head, header, Clock));
    if (!file.Skip(std::int64_t(header) - std::int64_t(headRead)))
        return false;

    for (std::int32_t i = 0; i < objects; ++i) {
        unsigned char object[16];
        if (!ReadChunkHead(file, "mhod", object))
            return false;
        const std::int32_t total = Int32At(object + 8);
        const std::int32_t type = Int32At(object + 12);
        switch (type) {
        case kTitle:
        case kAlbum:
        case kArtist:
        case kGenre:
        case kComment:
        case kComposer:
        case kAlbumArtist: {
            std::u16string_view text;
            if (!ReadWideString(file, text))
                return false;
            SetWideText(track, type, text);
            break;
        }
        case kLocation:
        case kFileType: {
            std::string_view text;
            if (!ReadNarrowString(file, text))
                return false;
            if (type == kLocation)
                track.SetLocation(text);
            else
                track.SetEncoding(text);
            break;
        }
        default:
            if (total < kObjectHeadRead || !file.Skip(std::int64_t(total) - kObjectHeadRead))
                return false;
            break;
        }
    }
    return true;
}

bool ITDBParser::ReadPlaylist(FileReader& file, OnePlaylist& playlist)
{
    // The fields read lie in the first 48 bytes; the byte at 20 is the master flag.
    unsigned char head[kPlaylistHeaderRead];
    if (!ReadChunkHead(file, "mhyp", head))
        return false;
    const std::int32_t header = Int32At(head + 4);
    const std::int32_t objects = Int32At(head + 12);
    const std::int32_t items = Int32At(head + 16);
    playlist.SetMaster(head[20] == 1);
    if (!file.Skip(std::int64_t(header) - std::int64_t(kPlaylistHeaderRead)))
        return false;

    for (std::int32_t i = 0; i < objects; ++i) {
        unsigned char object[16];
        if (!ReadChunkHead(file, "mhod", object))
            return false;
        const std::int32_t total = Int32At(object + 8);
        if (Int32At(object + 12) == kTitle) {
            std::u16string_view name;
            if (!ReadWideString(file, name))
                return false;
            playlist.SetName(std::u16string(name));
        } else if (total < kObjectHeadRead || !file.Skip(std::int64_t(total) - kObjectHeadRead)) {
            return false;
        }
    }

    for (std::int32_t i = 0; i < items; ++i) {
        unsigned char item[kItemHeaderRead];
        if (!ReadChunkHead(file, "mhip", item))
            return false;
        const std::int32_t itemHeader = Int32At(item + 4);
        const std::int32_t itemObjects = Int32At(item + 12);
        // A header shorter than the fields just read would lead back onto this same item.
        if (itemHeader < kItemHeaderRead || !file.Skip(std::int64_t(itemHeader) - kItemHeaderRead))
            return false;
        playlist.AddItem(Int32At(item + 24));
        for (std::int32_t k = 0; k < itemObjects; ++k) {
            unsigned char object[kItemObjectHeadRead];
            if (!ReadChunkHead(file, "mhod", object))
                return false;
            const std::int32_t total = Int32At(object + 8);
            if (total < kItemObjectHeadRead || !file.Skip(std::int64_t(total) - kItemObjectHeadRead))
                return false;
        }
    }
    return true;
}

namespace {

// Reads the length and the text of a string data object positioned just after its type field,
// leaving the file at the end of the text. The text is L / 2 little-endian code units; an odd
// last byte is ignored. `buffer` only grows, so that its units are not cleared for every text.
bool ReadStringUnits(FileReader& file, std::u16string& buffer, std::u16string_view& units)
{
    // Offsets 16 to 28 are passed over; the length at 28 must be there, so read them together.
    unsigned char prefix[16];
    units = {};
    if (!file.Read(prefix, sizeof prefix))
        return false;
    const std::int32_t length = Int32At(prefix + 12);
    if (length == 0)
        return file.Skip(8);
    if (length < 0 || !file.Skip(8) || length > file.Remaining())
        return false;
    const std::size_t count = static_cast<std::size_t>(length) / 2;
    if (buffer.size() < count)
        buffer.resize(count);
    if (!file.Read(buffer.data(), count * 2) || !file.Skip(length % 2))
        return false;
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < count; ++i)
            buffer[i] = static_cast<char16_t>((buffer[i] >> 8) | (buffer[i] << 8));
    }
    units = {buffer.data(), count};
    return true;
}

} // namespace

bool ITDBParser::ReadWideString(FileReader& file, std::u16string_view& text)
{
    return ReadStringUnits(file, ScratchUnits, text);
}

bool ITDBParser::ReadNarrowString(FileReader& file, std::string_view& text)
{
    std::u16string_view units;
    if (!ReadStringUnits(file, ScratchUnits, units))
        return false;
    NarrowFromWide(units, ScratchNarrow);
    text = ScratchNarrow;
    return true;
}

bool ITDBParser::ReadInt(FileReader& file, std::int32_t& value)
{
    return file.ReadInt32(value);
}
