#pragma once

// Writes iTunesDB files byte by byte for tests, benchmarks and fuzz seeds. Every length and
// count is computed from what is actually written unless a chunk overrides it, so a test can
// build a well-formed database and then bend exactly one field.
//
// The physical size of each header is its `HeaderLength` (at least the 8 bytes of tag and header
// length); the number stored in the header length field is `HeaderLengthField` when set. Header
// fields are written at their usual offsets when they fit inside the physical header and are
// left out otherwise, so a 156-byte track header has no media type of its own.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace itdbwriter {

using Bytes = std::vector<std::uint8_t>;

// Data object types.
enum ObjectType : std::int32_t {
    ObjTitle = 1,
    ObjLocation = 2,
    ObjAlbum = 3,
    ObjArtist = 4,
    ObjGenre = 5,
    ObjFileType = 6,
    ObjComment = 8,
    ObjComposer = 12,
    ObjAlbumArtist = 22,
    ObjItemPosition = 100,
};

// Data set types.
enum DataSetType : std::int32_t {
    SetTracks = 1,
    SetPlaylists = 2,
    SetPodcasts = 3,
    SetAlbums = 4,
};

// One `mhod`. A string object is a 40-byte header followed by the text bytes, with the byte
// length L at offset 28; any other object is a 24-byte header followed by `Body`.
struct DataObject {
    std::string Tag = "mhod";
    std::int32_t Type = ObjTitle;
    bool IsString = true;
    Bytes Body;                     // text bytes (string) or everything after the header
    std::optional<std::int32_t> StringLengthField; // L as stored; default Body.size()
    std::optional<std::int32_t> HeaderLengthField; // default 24
    std::optional<std::int32_t> TotalLengthField;  // default the bytes written
    std::size_t TrailingBytes = 0;  // zero bytes after the body, counted in the total length
};

// A string object holding UTF-16LE text.
DataObject StringObject(std::int32_t type, std::u16string_view text);
// A string object whose text is exactly these bytes (any length, odd or zero).
DataObject StringObjectBytes(std::int32_t type, Bytes text);
// A non-string object with `bodySize` bytes after its header (the first four hold `fill`).
DataObject RawObject(std::int32_t type, std::size_t bodySize = 20, std::int32_t fill = 0);

// One `mhit`.
struct TrackSpec {
    std::string Tag = "mhit";
    std::int32_t HeaderLength = 584;
    std::optional<std::int32_t> HeaderLengthField;
    std::optional<std::int32_t> TotalLengthField;
    std::optional<std::int32_t> ObjectCountField; // default Objects.size()
    std::int32_t UniqueId = 0;                     // offset 16
    std::uint8_t Compilation = 0;                  // offset 30
    std::uint8_t Rating = 0;                       // offset 31
    std::uint32_t FileSize = 0;                    // offset 36
    std::uint32_t LengthMs = 0;                    // offset 40
    std::int32_t TrackNumber = 0;                  // offset 44
    std::int32_t TrackCount = 0;                   // offset 48
    std::int32_t Year = 0;                         // offset 52
    std::int32_t BitRate = 0;                      // offset 56
    std::int32_t SampleRate = 0;                   // offset 60, stored 16.16
    std::int32_t PlayCount = 0;                    // offset 80
    std::uint32_t LastPlayed = 0;                  // offset 88, seconds from 1904 local time
    std::int32_t DiscNumber = 0;                   // offset 92
    std::int32_t DiscCount = 0;                    // offset 96
    std::uint32_t DateAdded = 0;                   // offset 104, seconds from 1904 local time
    std::uint64_t DatabaseId = 0;                  // offset 112
    std::int32_t SkipCount = 0;                    // offset 156
    std::int32_t MediaType = 1;                    // offset 208
    std::uint32_t ArtworkId = 0;                   // offset 352
    std::vector<DataObject> Objects;
    std::size_t TrailingBytes = 0; // after the last object, counted in the total length
};

// A track with title, location, album, artist and file type objects (in that order).
TrackSpec Track(std::int32_t id, std::u16string_view title, std::u16string_view location = u":iPod_Control:Music:F00:A.mp3",
                std::u16string_view album = u"Album", std::u16string_view artist = u"Artist",
                std::u16string_view fileType = u"MPEG audio file");

// One `mhip`.
struct ItemSpec {
    std::string Tag = "mhip";
    std::int32_t HeaderLength = 76;
    std::optional<std::int32_t> HeaderLengthField;
    std::optional<std::int32_t> TotalLengthField;
    std::optional<std::int32_t> ObjectCountField;
    std::int32_t TrackId = 0; // offset 24
    std::vector<DataObject> Objects;
};

// An item as real writers store it: one position object of type 100.
ItemSpec Item(std::int32_t trackId);

// One `mhyp`: its objects, then its items.
struct PlaylistSpec {
    std::string Tag = "mhyp";
    std::int32_t HeaderLength = 108;
    std::optional<std::int32_t> HeaderLengthField;
    std::optional<std::int32_t> TotalLengthField;
    std::optional<std::int32_t> ObjectCountField;
    std::optional<std::int32_t> ItemCountField;
    std::uint8_t MasterByte = 0; // offset 20
    std::vector<DataObject> Objects;
    std::vector<ItemSpec> Items;
};

// A playlist with a name object of type 1 and one item per id.
PlaylistSpec Playlist(std::u16string_view name, bool master, const std::vector<std::int32_t>& trackIds);

// The `mhlt` or `mhlp` list header that opens a track or playlist data set.
struct ListHeader {
    ListHeader(std::string tag, std::int32_t headerLength = 92, std::optional<std::int32_t> countField = std::nullopt)
        : Tag(std::move(tag)), HeaderLength(headerLength), CountField(countField)
    {
    }
    std::string Tag;
    std::int32_t HeaderLength = 92;
    std::optional<std::int32_t> CountField; // default the number of children written
    std::optional<std::int32_t> HeaderLengthField;
};

// The bytes of single chunks, for tests that assemble a data set by hand.
Bytes TrackBytes(const TrackSpec& track);
Bytes PlaylistBytes(const PlaylistSpec& playlist);
Bytes ItemBytes(const ItemSpec& item);
Bytes ObjectBytes(const DataObject& object);
Bytes TrackListBytes(const std::vector<TrackSpec>& tracks, const ListHeader& header = ListHeader("mhlt"));
Bytes PlaylistListBytes(const std::vector<PlaylistSpec>& playlists, const ListHeader& header = ListHeader("mhlp"));

// One `mhsd` around a body of any content.
struct DataSet {
    std::string Tag = "mhsd";
    std::int32_t Type = SetTracks;
    std::int32_t HeaderLength = 96;
    std::optional<std::int32_t> HeaderLengthField;
    std::optional<std::int32_t> TotalLengthField;
    Bytes Body;
};

// The whole file: an `mhbd` header and its data sets in the order they were added.
class Database {
public:
    std::string Tag = "mhbd";
    std::int32_t HeaderLength = 104;
    std::optional<std::int32_t> HeaderLengthField;
    // Default: the size of the finished file (before any truncation).
    std::optional<std::int32_t> TotalLengthField;
    // Cut the finished file to this many bytes; the total length still describes the whole.
    std::optional<std::size_t> TruncateTo;
    // Bytes appended after the last data set, counted in the default total length.
    std::size_t TrailingBytes = 0;

    DataSet& AddDataSet(std::int32_t type, Bytes body);
    DataSet& AddTracks(const std::vector<TrackSpec>& tracks, const ListHeader& header = ListHeader("mhlt"));
    DataSet& AddPlaylists(const std::vector<PlaylistSpec>& playlists, const ListHeader& header = ListHeader("mhlp"),
                          std::int32_t type = SetPlaylists);
    std::vector<DataSet>& DataSets() { return Sets; }

    Bytes Build() const;
    // Writes Build() to `path`; false when the file cannot be written.
    bool WriteTo(const std::string& path) const;

private:
    std::vector<DataSet> Sets;
};

// The compressed form that newer players store: the database header of `plain` as it is (its
// length taken from offset 4), then everything after it as one zlib stream at `level` (1, what
// players write, unless a test wants more), the total length set to the size of the result.
Bytes Compressed(const Bytes& plain, int level = 1);

// A file of the player's notes beside the database, "mhdp" (Play Counts) or "mhpo" (On-The-Go):
// a header of `headerLength` bytes, then one entry of `entryLength` bytes for each row of
// `fields`, its 32-bit values written in order and the rest of the entry zero.
Bytes PlayerNoteFile(const char* tag, std::int32_t headerLength, std::int32_t entryLength,
                     const std::vector<std::vector<std::int32_t>>& fields);

// Writes `bytes` to `path`, replacing the file; false on failure.
bool WriteFile(const std::string& path, const Bytes& bytes);
// Overwrites four bytes at `offset` with a little-endian value.
void PutInt32(Bytes& bytes, std::size_t offset, std::int32_t value);
// UTF-16LE bytes of `text`.
Bytes Utf16Le(std::u16string_view text);

// A database shaped like a real player's: track headers of 584 bytes with the numbers iTunes
// fills in, and the string objects it writes (title, location, album, artist, album artist,
// genre, file type, and for some tracks composer and comment) of realistic lengths with non-ASCII text,
// data sets of types 1, 3, 2, 4 in that order, a master playlist of every track and a few
// smaller playlists. The content depends only on the options.
struct LargeDatabaseOptions {
    int TrackCount = 50000;
    int ExtraPlaylists = 4;
    std::uint32_t Seed = 1;
};

struct LargeDatabaseSummary {
    int Tracks = 0;
    int Playlists = 0;       // in the playlist data set, master included
    int MasterItems = 0;
    std::uint64_t FileSize = 0;
    std::int32_t FirstTrackId = 0; // ids run from here, one per track, in file order
};

// Streams the database to `out` in one pass; nothing of its size is held in memory.
LargeDatabaseSummary WriteLargeDatabase(std::ostream& out, const LargeDatabaseOptions& options);
// Same, into a file; FileSize is 0 when the file cannot be written.
LargeDatabaseSummary WriteLargeDatabase(const std::string& path, const LargeDatabaseOptions& options);

} // namespace itdbwriter
