// Writes a dozen small databases, well-formed and bent, plain and compressed, as the fuzzer's
// starting points, and with a second folder a few artwork databases with their pixels.
//   MakeFuzzSeeds FOLDER [ARTWORK_FOLDER]

#include "ArtworkWriter.h"
#include "ItdbWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace itdbwriter;

namespace {

std::vector<TrackSpec> SomeTracks(int count, std::int32_t header = 584)
{
    const std::u16string titles[] = {u"Intro", u"Straße nach Süden", u"東京の夜", u"Song 🎵", u""};
    std::vector<TrackSpec> tracks;
    for (int i = 0; i < count; ++i) {
        TrackSpec t = Track(100 + i, titles[i % 5], u":iPod_Control:Music:F0" + std::u16string(1, u'0' + char16_t(i % 10)) + u":X.m4a",
                            u"Album", u"Artist", i % 2 ? u"AAC audio file" : u"MPEG audio file");
        t.HeaderLength = header;
        t.MediaType = i % 3 ? 1 : 8;
        t.LengthMs = 61000u * std::uint32_t(i + 1);
        tracks.push_back(std::move(t));
    }
    return tracks;
}

std::vector<PlaylistSpec> SomePlaylists(int tracks)
{
    std::vector<std::int32_t> all;
    for (int i = 0; i < tracks; ++i)
        all.push_back(100 + i);
    PlaylistSpec master = Playlist(u"iPod", true, all);
    master.Objects.push_back(RawObject(52, 40));
    master.Objects.push_back(RawObject(100, 20));
    return {master, Playlist(u"Mix", false, {101, 100, 999})};
}

Database Plain(int tracks)
{
    Database db;
    db.AddTracks(SomeTracks(tracks));
    db.AddPlaylists(SomePlaylists(tracks));
    return db;
}

// The artwork fuzzer's input: the database's length, the database, then the thumbnail bytes.
Bytes ArtworkInput(const Bytes& database, const Bytes& pixels)
{
    Bytes input(4, 0);
    PutInt32(input, 0, static_cast<std::int32_t>(database.size()));
    input.insert(input.end(), database.begin(), database.end());
    input.insert(input.end(), pixels.begin(), pixels.end());
    return input;
}

int WriteArtworkSeeds(const std::filesystem::path& dir)
{
    using namespace artworkwriter;
    std::filesystem::create_directories(dir);
    const auto colour = [](int x, int y) { return Rgb{x * 40, y * 30, (x + y) * 20}; };
    const Bytes square = Rgb565Slot(6, 6, 0, 0, 6, 6, colour);
    Bytes pixels = square;
    const Bytes wide = Rgb565Slot(6, 6, 0, 1, 6, 4, colour);
    pixels.insert(pixels.end(), wide.begin(), wide.end());
    const std::vector<ImageSpec> images = {
        {100, 0x1111, {{1060, u":F1060_1.ithmb", 0, 72, 6, 6, 0, 0}, {1055, u":F1055_1.ithmb", 72, 72, 5, 6, 1, 0}}},
        {101, 0x2222, {{1067, u":F1067_1.ithmb", 0, 54, 6, 6, 0, 0}}},
    };
    int failures = 0;
    const auto put = [&](const char* name, const Bytes& bytes) {
        failures += WriteFile((dir / name).string(), bytes) ? 0 : 1;
    };
    put("two-formats", ArtworkInput(ArtworkDatabase(images), pixels));
    put("no-images", ArtworkInput(ArtworkDatabase({}), {}));
    Bytes cut = ArtworkDatabase(images);
    cut.resize(cut.size() - 30);
    put("cut-off", ArtworkInput(cut, pixels));
    return failures;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER [ARTWORK_FOLDER]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    int failures = 0;
    auto put = [&](const char* name, const Bytes& bytes) {
        if (!WriteFile((dir / name).string(), bytes)) {
            std::fprintf(stderr, "cannot write %s\n", name);
            ++failures;
        }
    };

    put("plain", Plain(3).Build());
    put("compressed", Compressed(Plain(3).Build()));

    {
        // As iTunes orders them: albums, tracks, podcasts, playlists.
        Database db;
        db.HeaderLength = 244;
        db.AddDataSet(SetAlbums, Bytes(48, 0));
        db.AddTracks(SomeTracks(4, 388));
        db.AddPlaylists({Playlist(u"Podcasts", false, {101})}, ListHeader("mhlp"), SetPodcasts);
        db.AddPlaylists(SomePlaylists(4));
        put("itunes-order", db.Build());
        put("itunes-order-compressed", Compressed(db.Build()));
    }
    {
        Database db;
        db.AddPlaylists(SomePlaylists(2));
        db.AddTracks(SomeTracks(2, 160));
        put("playlists-first", db.Build());
    }
    {
        std::vector<TrackSpec> tracks = SomeTracks(2, 156);
        Database db;
        db.AddTracks(tracks);
        db.AddPlaylists(SomePlaylists(2));
        put("short-track-header", db.Build());
    }
    {
        std::vector<TrackSpec> tracks = SomeTracks(3, 624);
        tracks[0].Objects[0] = StringObjectBytes(ObjTitle, {'a', 0, 'b', 0, 'c'});
        tracks[1].Objects[2] = StringObjectBytes(ObjAlbum, {});
        tracks[2].Objects.insert(tracks[2].Objects.begin() + 1, RawObject(13, 32));
        tracks[2].Objects.push_back(StringObject(ObjLocation, u":later:wins"));
        Database db;
        db.AddTracks(tracks);
        db.AddPlaylists(SomePlaylists(3));
        put("odd-strings", db.Build());
    }
    {
        Database db;
        db.AddTracks({});
        db.AddPlaylists(SomePlaylists(0));
        put("empty", db.Build());
        put("empty-compressed", Compressed(db.Build()));
    }
    {
        std::vector<TrackSpec> tracks = SomeTracks(3);
        tracks[2].UniqueId = 100;
        Database db;
        db.AddTracks(tracks);
        std::vector<PlaylistSpec> lists = SomePlaylists(3);
        lists[0].MasterByte = 2;
        lists[1].Items[0].Objects.clear();
        lists[1].Items[0].HeaderLength = 28;
        db.AddPlaylists(lists);
        put("duplicate-ids", db.Build());
    }
    {
        std::vector<TrackSpec> tracks = SomeTracks(3);
        tracks[1].Objects[1].TrailingBytes = 6;
        Database db;
        db.AddTracks(tracks);
        db.AddPlaylists(SomePlaylists(3));
        put("padded-object", db.Build());
    }
    {
        Bytes bytes = Plain(3).Build();
        bytes.resize(bytes.size() - 100);
        PutInt32(bytes, 8, static_cast<std::int32_t>(bytes.size()));
        put("cut-off", bytes);
    }
    {
        Database db = Plain(2);
        db.TotalLengthField = 12345;
        put("wrong-total", db.Build());
    }
    {
        Database db;
        db.AddTracks(SomeTracks(2), ListHeader("mhlt", 92, 0x7FFFFFFF));
        PlaylistSpec still;
        still.HeaderLengthField = 0;
        std::vector<PlaylistSpec> lists = SomePlaylists(2);
        lists.push_back(still);
        db.AddPlaylists(lists, ListHeader("mhlp", 92, 0x7FFFFFFF));
        put("huge-counts", db.Build());
    }
    {
        Database db = Plain(2);
        db.DataSets()[1].TotalLengthField = 8;
        db.AddDataSet(SetAlbums, Bytes(16, 0));
        put("short-data-set", db.Build());
    }
    {
        Bytes bytes = Compressed(Plain(3).Build());
        bytes.resize(bytes.size() - 40);
        PutInt32(bytes, 8, static_cast<std::int32_t>(bytes.size()));
        put("compressed-cut-off", bytes);
    }
    {
        // Inflates far beyond what its size allows.
        Database db = Plain(1);
        db.TrailingBytes = 4 << 20;
        put("compressed-bomb", Compressed(db.Build(), 9));
    }
    if (argc == 3)
        failures += WriteArtworkSeeds(argv[2]);
    return failures == 0 ? 0 : 1;
}
