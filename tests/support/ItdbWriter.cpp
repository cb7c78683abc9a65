#include "ItdbWriter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <ostream>

#include <zlib.h>

namespace itdbwriter {

namespace {

constexpr std::size_t kObjectHeader = 24;
constexpr std::size_t kStringHeader = 40;

void Append32(Bytes& out, std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 24));
}

void AppendTag(Bytes& out, const std::string& tag)
{
    // Tags are four bytes; a shorter test tag is padded with zeros, a longer one cut.
    for (std::size_t i = 0; i < 4; ++i)
        out.push_back(i < tag.size() ? static_cast<std::uint8_t>(tag[i]) : 0);
}

std::int32_t Int(std::size_t n) { return static_cast<std::int32_t>(n); }

// Writes a header of `physical` bytes at the end of `out`: tag, header length and zeros, to be
// filled by PutField; fields beyond the physical header are dropped.
struct Header {
    std::size_t Start;
    std::size_t Size;
};

Header BeginHeader(Bytes& out, const std::string& tag, std::size_t physical, std::optional<std::int32_t> headerField)
{
    // The tag and the header length are always written, whatever the header claims.
    Header h{out.size(), std::max<std::size_t>(physical, 8)};
    AppendTag(out, tag);
    Append32(out, headerField.value_or(Int(physical)));
    out.resize(h.Start + h.Size, 0);
    return h;
}

void PutField(Bytes& out, const Header& h, std::size_t offset, std::int32_t value)
{
    if (offset + 4 <= h.Size)
        PutInt32(out, h.Start + offset, value);
}

void PutByte(Bytes& out, const Header& h, std::size_t offset, std::uint8_t value)
{
    if (offset < h.Size)
        out[h.Start + offset] = value;
}

void FinishTotal(Bytes& out, const Header& h, std::optional<std::int32_t> totalField)
{
    PutField(out, h, 8, totalField.value_or(Int(out.size() - h.Start)));
}

void AppendObject(Bytes& out, const DataObject& object)
{
    const std::size_t physical = object.IsString ? kStringHeader : kObjectHeader;
    Header h = BeginHeader(out, object.Tag, physical, std::nullopt);
    PutField(out, h, 4, object.HeaderLengthField.value_or(Int(kObjectHeader)));
    PutField(out, h, 12, object.Type);
    if (object.IsString) {
        PutField(out, h, 24, 1); // string encoding marker written by real players
        PutField(out, h, 28, object.StringLengthField.value_or(Int(object.Body.size())));
    }
    out.insert(out.end(), object.Body.begin(), object.Body.end());
    out.resize(out.size() + object.TrailingBytes, 0);
    FinishTotal(out, h, object.TotalLengthField);
}

void AppendTrack(Bytes& out, const TrackSpec& track)
{
    Header h = BeginHeader(out, track.Tag, static_cast<std::size_t>(std::max(track.HeaderLength, 0)),
                           track.HeaderLengthField);
    PutField(out, h, 12, track.ObjectCountField.value_or(Int(track.Objects.size())));
    PutField(out, h, 16, track.UniqueId);
    PutByte(out, h, 30, track.Compilation);
    PutByte(out, h, 31, track.Rating);
    PutField(out, h, 36, static_cast<std::int32_t>(track.FileSize));
    PutField(out, h, 40, static_cast<std::int32_t>(track.LengthMs));
    PutField(out, h, 44, track.TrackNumber);
    PutField(out, h, 48, track.TrackCount);
    PutField(out, h, 52, track.Year);
    PutField(out, h, 56, track.BitRate);
    PutField(out, h, 60, track.SampleRate);
    PutField(out, h, 80, track.PlayCount);
    PutField(out, h, 88, static_cast<std::int32_t>(track.LastPlayed));
    PutField(out, h, 92, track.DiscNumber);
    PutField(out, h, 96, track.DiscCount);
    PutField(out, h, 104, static_cast<std::int32_t>(track.DateAdded));
    PutField(out, h, 112, static_cast<std::int32_t>(track.DatabaseId & 0xFFFFFFFFu));
    PutField(out, h, 116, static_cast<std::int32_t>(track.DatabaseId >> 32));
    PutField(out, h, 156, track.SkipCount);
    PutField(out, h, 208, track.MediaType);
    PutField(out, h, 352, static_cast<std::int32_t>(track.ArtworkId));
    for (const DataObject& object : track.Objects)
        AppendObject(out, object);
    out.resize(out.size() + track.TrailingBytes, 0);
    FinishTotal(out, h, track.TotalLengthField);
}

void AppendItem(Bytes& out, const ItemSpec& item)
{
    Header h = BeginHeader(out, item.Tag, static_cast<std::size_t>(std::max(item.HeaderLength, 0)),
                           item.HeaderLengthField);
    PutField(out, h, 12, item.ObjectCountField.value_or(Int(item.Objects.size())));
    PutField(out, h, 24, item.TrackId);
    for (const DataObject& object : item.Objects)
        AppendObject(out, object);
    FinishTotal(out, h, item.TotalLengthField);
}

void AppendPlaylist(Bytes& out, const PlaylistSpec& playlist)
{
    Header h = BeginHeader(out, playlist.Tag, static_cast<std::size_t>(std::max(playlist.HeaderLength, 0)),
                           playlist.HeaderLengthField);
    PutField(out, h, 12, playlist.ObjectCountField.value_or(Int(playlist.Objects.size())));
    PutField(out, h, 16, playlist.ItemCountField.value_or(Int(playlist.Items.size())));
    PutByte(out, h, 20, playlist.MasterByte);
    for (const DataObject& object : playlist.Objects)
        AppendObject(out, object);
    for (const ItemSpec& item : playlist.Items)
        AppendItem(out, item);
    FinishTotal(out, h, playlist.TotalLengthField);
}

void AppendListHeader(Bytes& out, const ListHeader& list, std::size_t children)
{
    Header h = BeginHeader(out, list.Tag, static_cast<std::size_t>(std::max(list.HeaderLength, 0)),
                           list.HeaderLengthField);
    PutField(out, h, 8, list.CountField.value_or(Int(children)));
}

// The header of an `mhsd` whose body of `bodySize` bytes follows.
void AppendDataSetHeader(Bytes& out, const DataSet& set, std::size_t bodySize)
{
    Header h = BeginHeader(out, set.Tag, static_cast<std::size_t>(std::max(set.HeaderLength, 0)),
                           set.HeaderLengthField);
    PutField(out, h, 8, set.TotalLengthField.value_or(Int(h.Size + bodySize)));
    PutField(out, h, 12, set.Type);
}

} // namespace

Bytes PlayerNoteFile(const char* tag, std::int32_t headerLength, std::int32_t entryLength,
                     const std::vector<std::vector<std::int32_t>>& fields)
{
    const std::size_t header = static_cast<std::size_t>(headerLength);
    const std::size_t entry = static_cast<std::size_t>(entryLength);
    Bytes out(header + entry * fields.size(), 0);
    std::copy(tag, tag + 4, out.begin());
    PutInt32(out, 4, headerLength);
    PutInt32(out, 8, entryLength);
    PutInt32(out, 12, static_cast<std::int32_t>(fields.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        for (std::size_t f = 0; f < fields[i].size() && 4 * (f + 1) <= entry; ++f)
            PutInt32(out, header + i * entry + 4 * f, fields[i][f]);
    }
    return out;
}

Bytes Utf16Le(std::u16string_view text)
{
    Bytes out;
    out.reserve(text.size() * 2);
    for (char16_t u : text) {
        out.push_back(static_cast<std::uint8_t>(u));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

void PutInt32(Bytes& bytes, std::size_t offset, std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    for (std::size_t i = 0; i < 4 && offset + i < bytes.size(); ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

DataObject StringObject(std::int32_t type, std::u16string_view text)
{
    return StringObjectBytes(type, Utf16Le(text));
}

DataObject StringObjectBytes(std::int32_t type, Bytes text)
{
    DataObject object;
    object.Type = type;
    object.Body = std::move(text);
    return object;
}

DataObject RawObject(std::int32_t type, std::size_t bodySize, std::int32_t fill)
{
    DataObject object;
    object.Type = type;
    object.IsString = false;
    object.Body.assign(bodySize, 0);
    PutInt32(object.Body, 0, fill);
    return object;
}

TrackSpec Track(std::int32_t id, std::u16string_view title, std::u16string_view location, std::u16string_view album,
                std::u16string_view artist, std::u16string_view fileType)
{
    TrackSpec track;
    track.UniqueId = id;
    track.LengthMs = 215000;
    track.TrackNumber = 1;
    track.BitRate = 192;
    track.SampleRate = 44100 << 16;
    track.Objects = {StringObject(ObjTitle, title), StringObject(ObjLocation, location), StringObject(ObjAlbum, album),
                     StringObject(ObjArtist, artist), StringObject(ObjFileType, fileType)};
    return track;
}

ItemSpec Item(std::int32_t trackId)
{
    ItemSpec item;
    item.TrackId = trackId;
    item.Objects.push_back(RawObject(ObjItemPosition, 20));
    return item;
}

PlaylistSpec Playlist(std::u16string_view name, bool master, const std::vector<std::int32_t>& trackIds)
{
    PlaylistSpec playlist;
    playlist.MasterByte = master ? 1 : 0;
    playlist.Objects.push_back(StringObject(ObjTitle, name));
    for (std::int32_t id : trackIds)
        playlist.Items.push_back(Item(id));
    return playlist;
}

Bytes ObjectBytes(const DataObject& object)
{
    Bytes out;
    AppendObject(out, object);
    return out;
}

Bytes TrackBytes(const TrackSpec& track)
{
    Bytes out;
    AppendTrack(out, track);
    return out;
}

Bytes ItemBytes(const ItemSpec& item)
{
    Bytes out;
    AppendItem(out, item);
    return out;
}

Bytes PlaylistBytes(const PlaylistSpec& playlist)
{
    Bytes out;
    AppendPlaylist(out, playlist);
    return out;
}

Bytes TrackListBytes(const std::vector<TrackSpec>& tracks, const ListHeader& header)
{
    Bytes out;
    AppendListHeader(out, header, tracks.size());
    for (const TrackSpec& track : tracks)
        AppendTrack(out, track);
    return out;
}

Bytes PlaylistListBytes(const std::vector<PlaylistSpec>& playlists, const ListHeader& header)
{
    Bytes out;
    AppendListHeader(out, header, playlists.size());
    for (const PlaylistSpec& playlist : playlists)
        AppendPlaylist(out, playlist);
    return out;
}

DataSet& Database::AddDataSet(std::int32_t type, Bytes body)
{
    DataSet set;
    set.Type = type;
    set.Body = std::move(body);
    Sets.push_back(std::move(set));
    return Sets.back();
}

DataSet& Database::AddTracks(const std::vector<TrackSpec>& tracks, const ListHeader& header)
{
    return AddDataSet(SetTracks, TrackListBytes(tracks, header));
}

DataSet& Database::AddPlaylists(const std::vector<PlaylistSpec>& playlists, const ListHeader& header,
                                std::int32_t type)
{
    return AddDataSet(type, PlaylistListBytes(playlists, header));
}

Bytes Database::Build() const
{
    Bytes out;
    Header h = BeginHeader(out, Tag, static_cast<std::size_t>(std::max(HeaderLength, 0)), HeaderLengthField);
    PutField(out, h, 12, 1);
    PutField(out, h, 16, 0x19); // database version
    PutField(out, h, 20, Int(Sets.size()));
    for (const DataSet& set : Sets) {
        AppendDataSetHeader(out, set, set.Body.size());
        out.insert(out.end(), set.Body.begin(), set.Body.end());
    }
    out.resize(out.size() + TrailingBytes, 0);
    FinishTotal(out, h, TotalLengthField);
    if (TruncateTo && *TruncateTo < out.size())
        out.resize(*TruncateTo);
    return out;
}

bool Database::WriteTo(const std::string& path) const { return WriteFile(path, Build()); }

Bytes Compressed(const Bytes& plain, int level)
{
    std::size_t header = 0;
    if (plain.size() >= 8)
        header = std::min<std::size_t>(static_cast<std::uint32_t>(plain[4] | plain[5] << 8 | plain[6] << 16 | plain[7] << 24),
                                       plain.size());
    Bytes out(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(header));
    uLongf packed = compressBound(static_cast<uLong>(plain.size() - header));
    out.resize(header + packed);
    if (compress2(out.data() + header, &packed, plain.data() + header, static_cast<uLong>(plain.size() - header), level) != Z_OK)
        return {};
    out.resize(header + packed);
    if (header >= 12)
        PutInt32(out, 8, Int(out.size()));
    return out;
}

bool WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

// ---- The large, realistic database ----

namespace {

// splitmix64: a fast generator whose output depends only on its seed.
class Random {
public:
    explicit Random(std::uint64_t seed) : State(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }

private:
    std::uint64_t State;
};

constexpr std::array<std::u16string_view, 32> kWords = {
    u"Night", u"Sommer", u"Café", u"Straße", u"Über", u"Lumière", u"東京", u"夜明け", u"Любовь", u"Ελπίδα",
    u"Blue", u"River", u"Song", u"Heart", u"Fire", u"Rain", u"Dream", u"Light", u"Moon", u"Corazón",
    u"Señorita", u"Fjärran", u"Żółw", u"Ångström", u"Ночь", u"サクラ", u"Road", u"Home", u"Stars", u"Wind",
    u"Déjà", u"🎵",
};
constexpr std::array<std::u16string_view, 4> kFileTypes = {u"MPEG audio file", u"AAC audio file",
                                                          u"Purchased AAC audio file", u"Apple Lossless audio file"};
constexpr std::array<std::u16string_view, 4> kExtensions = {u".mp3", u".m4a", u".m4p", u".m4a"};

std::u16string Words(Random& rng, int minWords, int maxWords)
{
    const int n = minWords + static_cast<int>(rng.Below(static_cast<std::uint32_t>(maxWords - minWords + 1)));
    std::u16string text;
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            text += u' ';
        text += kWords[rng.Below(kWords.size())];
    }
    return text;
}

std::u16string Name(const char* prefix, std::uint32_t seed, int minWords, int maxWords, int number)
{
    Random rng(seed);
    std::u16string text = Words(rng, minWords, maxWords);
    text += u' ';
    for (const char* p = prefix; *p; ++p)
        text += static_cast<char16_t>(*p);
    for (char c : std::to_string(number))
        text += static_cast<char16_t>(c);
    return text;
}

constexpr int kTracksPerAlbum = 12;
constexpr int kAlbumsPerArtist = 3;
constexpr std::int32_t kFirstTrackId = 1000;

std::int32_t LargeTrackId(int index) { return kFirstTrackId + 2 * index; }

// The track at `index`; the same for the same options, so the writer can measure it first and
// write it afterwards.
void AppendLargeTrack(Bytes& out, const LargeDatabaseOptions& options, int index)
{
    Random rng((std::uint64_t(options.Seed) << 32) ^ std::uint64_t(index) * 0x2545F4914F6CDD1Dull);
    const int album = index / kTracksPerAlbum;
    const int artist = album / kAlbumsPerArtist;
    const std::uint32_t kind = rng.Below(kFileTypes.size());

    TrackSpec track;
    track.UniqueId = LargeTrackId(index);
    track.LengthMs = 90000 + rng.Below(420000);
    track.TrackNumber = index % kTracksPerAlbum + 1;
    track.BitRate = kind == 3 ? 900 + static_cast<std::int32_t>(rng.Below(200)) : 128 + 32 * static_cast<std::int32_t>(rng.Below(6));
    track.SampleRate = (rng.Below(4) == 0 ? 48000 : 44100) << 16;
    track.MediaType = 1;
    track.TrackCount = kTracksPerAlbum;
    track.Year = 1960 + static_cast<std::int32_t>(rng.Below(65));
    track.DiscNumber = 1;
    track.DiscCount = 1;
    track.PlayCount = static_cast<std::int32_t>(rng.Below(40));
    track.Rating = static_cast<std::uint8_t>(20 * rng.Below(6));
    track.FileSize = track.LengthMs / 8 * static_cast<std::uint32_t>(track.BitRate);
    // Added over about fifteen years from 2005, in the player's local time.
    track.DateAdded = 3187382400u + rng.Below(15u * 365 * 86400);

    std::u16string location = u":iPod_Control:Music:F";
    const std::uint32_t folder = rng.Below(50);
    location += static_cast<char16_t>(u'0' + folder / 10);
    location += static_cast<char16_t>(u'0' + folder % 10);
    location += u':';
    for (int i = 0; i < 4; ++i)
        location += static_cast<char16_t>(u'A' + rng.Below(26));
    location += kExtensions[kind];

    const std::u16string artistName = Name("& ", options.Seed * 104729u + std::uint32_t(artist), 2, 4, artist);
    track.Objects = {StringObject(ObjTitle, Words(rng, 2, 8)), StringObject(ObjLocation, location),
                     StringObject(ObjAlbum, Name("Vol. ", options.Seed * 7919u + std::uint32_t(album), 2, 5, album % 9 + 1)),
                     StringObject(ObjArtist, artistName), StringObject(ObjAlbumArtist, artistName),
                     StringObject(ObjGenre, Words(rng, 1, 2)), StringObject(ObjFileType, kFileTypes[kind])};
    if (rng.Below(3) == 0)
        track.Objects.push_back(StringObject(ObjComposer, Words(rng, 2, 3)));
    if (rng.Below(4) == 0)
        track.Objects.push_back(StringObject(ObjComment, Words(rng, 3, 8)));
    AppendTrack(out, track);
}

// Writes into an ostream, counting what went out.
struct Sink {
    std::ostream& Out;
    std::uint64_t Written = 0;
    void Put(const Bytes& bytes)
    {
        Out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        Written += bytes.size();
    }
};

constexpr std::size_t kLargeItemSize = 76 + kObjectHeader + 20;

struct LargePlaylist {
    std::u16string Name;
    bool Master;
    int Step; // every Step-th track, starting with the first
};

std::vector<LargePlaylist> LargePlaylists(const LargeDatabaseOptions& options)
{
    std::vector<LargePlaylist> lists{{u"iPod", true, 1}};
    const std::array<std::u16string_view, 6> names = {u"Favourites ★", u"Läufe", u"Road Trip", u"Nachtmusik",
                                                      u"お気に入り", u"Chill"};
    for (int i = 0; i < options.ExtraPlaylists; ++i)
        lists.push_back({std::u16string(names[static_cast<std::size_t>(i) % names.size()]), false, 2 + 3 * i + i * i / 2});
    return lists;
}

int Members(int tracks, int step) { return tracks <= 0 ? 0 : (tracks + step - 1) / step; }

// A playlist of every `step`-th track, written header first without building its items.
void PutLargePlaylist(Sink& sink, const LargePlaylist& list, int tracks, Bytes& buffer)
{
    const int members = Members(tracks, list.Step);
    PlaylistSpec playlist = Playlist(list.Name, list.Master, {});
    playlist.ItemCountField = members;
    const Bytes head = PlaylistBytes(playlist);
    playlist.TotalLengthField = Int(head.size() + std::size_t(members) * kLargeItemSize);
    sink.Put(PlaylistBytes(playlist));
    buffer.clear();
    for (int i = 0; i < tracks; i += list.Step) {
        AppendItem(buffer, Item(LargeTrackId(i)));
        if (buffer.size() > (1u << 16)) {
            sink.Put(buffer);
            buffer.clear();
        }
    }
    sink.Put(buffer);
}

std::size_t LargePlaylistSize(const LargePlaylist& list, int tracks)
{
    return PlaylistBytes(Playlist(list.Name, list.Master, {})).size() + std::size_t(Members(tracks, list.Step)) * kLargeItemSize;
}

} // namespace

LargeDatabaseSummary WriteLargeDatabase(std::ostream& out, const LargeDatabaseOptions& options)
{
    const int tracks = std::max(options.TrackCount, 0);
    Sink sink{out};
    Bytes buffer;

    // First pass: the sizes that the headers must announce.
    std::size_t trackBytes = 0;
    for (int i = 0; i < tracks; ++i) {
        buffer.clear();
        AppendLargeTrack(buffer, options, i);
        trackBytes += buffer.size();
    }
    const std::vector<LargePlaylist> playlists = LargePlaylists(options);
    std::size_t playlistBytes = 0;
    for (const LargePlaylist& list : playlists)
        playlistBytes += LargePlaylistSize(list, tracks);
    const LargePlaylist podcasts{u"Podcasts", false, 25};
    const std::size_t podcastBytes = LargePlaylistSize(podcasts, tracks);

    // The album list: one entry per album with its name and artist.
    const int albums = Members(tracks, kTracksPerAlbum);
    Bytes albumBody;
    {
        Bytes entries;
        for (int a = 0; a < albums; ++a) {
            const std::size_t start = entries.size();
            Header h = BeginHeader(entries, "mhia", 88, std::nullopt);
            PutField(entries, h, 12, 2);
            PutField(entries, h, 16, a + 1);
            AppendObject(entries, StringObject(200, Name("Vol. ", options.Seed * 7919u + std::uint32_t(a), 2, 5, a % 9 + 1)));
            AppendObject(entries, StringObject(201, Name("& ", options.Seed * 104729u + std::uint32_t(a / kAlbumsPerArtist), 2, 4,
                                                        a / kAlbumsPerArtist)));
            FinishTotal(entries, Header{start, 88}, std::nullopt);
        }
        AppendListHeader(albumBody, ListHeader("mhla"), std::size_t(albums));
        albumBody.insert(albumBody.end(), entries.begin(), entries.end());
    }

    const std::size_t setHeader = 96;
    const std::size_t listHeader = 92;
    const std::size_t dbHeader = 104;
    const std::size_t total = dbHeader + (setHeader + listHeader + trackBytes) + (setHeader + listHeader + podcastBytes)
        + (setHeader + listHeader + playlistBytes) + (setHeader + albumBody.size());

    // Second pass: write.
    buffer.clear();
    {
        Header h = BeginHeader(buffer, "mhbd", dbHeader, std::nullopt);
        PutField(buffer, h, 8, Int(total));
        PutField(buffer, h, 12, 1);
        PutField(buffer, h, 16, 0x75);
        PutField(buffer, h, 20, 4);
    }
    auto putSet = [&](std::int32_t type, std::size_t bodySize) {
        DataSet set;
        set.Type = type;
        AppendDataSetHeader(buffer, set, bodySize);
    };
    putSet(SetTracks, listHeader + trackBytes);
    AppendListHeader(buffer, ListHeader("mhlt"), std::size_t(tracks));
    sink.Put(buffer);
    buffer.clear();
    for (int i = 0; i < tracks; ++i) {
        AppendLargeTrack(buffer, options, i);
        if (buffer.size() > (1u << 16)) {
            sink.Put(buffer);
            buffer.clear();
        }
    }
    putSet(SetPodcasts, listHeader + podcastBytes);
    AppendListHeader(buffer, ListHeader("mhlp"), 1);
    sink.Put(buffer);
    PutLargePlaylist(sink, podcasts, tracks, buffer);

    buffer.clear();
    putSet(SetPlaylists, listHeader + playlistBytes);
    AppendListHeader(buffer, ListHeader("mhlp"), playlists.size());
    sink.Put(buffer);
    for (const LargePlaylist& list : playlists)
        PutLargePlaylist(sink, list, tracks, buffer);

    buffer.clear();
    putSet(SetAlbums, albumBody.size());
    sink.Put(buffer);
    sink.Put(albumBody);

    LargeDatabaseSummary summary;
    summary.Tracks = tracks;
    summary.Playlists = static_cast<int>(playlists.size());
    summary.MasterItems = tracks;
    summary.FileSize = out ? sink.Written : 0;
    summary.FirstTrackId = kFirstTrackId;
    return summary;
}

LargeDatabaseSummary WriteLargeDatabase(const std::string& path, const LargeDatabaseOptions& options)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return {};
    LargeDatabaseSummary summary = WriteLargeDatabase(file, options);
    file.close();
    if (file.fail())
        summary.FileSize = 0;
    return summary;
}

} // namespace itdbwriter
