#include "DemoPlayer.h"

#include "ArtworkWriter.h"
#include "ItdbWriter.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct DemoTrack {
    std::int32_t Id;
    std::u16string_view Title;
    std::u16string_view Artist;
    std::u16string_view Album;
    std::u16string_view Location; // the player's own form, colons between the parts
    std::int32_t TrackNumber;
    std::uint32_t LengthMs;
    std::int32_t BitRate;
    std::int32_t SampleRate;
    std::int32_t MediaType; // 1 audio, 2 video
};

constexpr std::u16string_view kMp3 = u"MPEG audio file";
constexpr std::u16string_view kAac = u"AAC audio file";
constexpr std::u16string_view kVideo = u"MPEG-4 video file";

const DemoTrack kTracks[] = {
    {101, u"Jóga", u"Björk", u"Homogenic", u":iPod_Control:Music:F00:BJRK.mp3", 3, 305000, 192, 44100, 1},
    {102, u"Hoppípolla", u"Sigur Rós", u"Takk...", u":iPod_Control:Music:F00:SGRS.m4a", 3, 268000, 256, 44100, 1},
    {103, u"Non, je ne regrette rien", u"Édith Piaf", u"Best of", u":iPod_Control:Music:F01:PIAF.mp3", 1, 141000, 128, 44100, 1},
    {104, u"Лебединое озеро: Сцена", u"Пётр Чайковский", u"Лебединое озеро", u":iPod_Control:Music:F01:TCHK.m4a", 10, 185000, 256, 48000, 1},
    {105, u"Щелкунчик: Вальс цветов", u"Пётр Чайковский", u"Щелкунчик", u":iPod_Control:Music:F02:NUTC.mp3", 13, 412000, 320, 44100, 1},
    {106, u"戦場のメリークリスマス", u"坂本龍一", u"Coda", u":iPod_Control:Music:F02:SKMT.m4a", 1, 297000, 160, 44100, 1},
    {107, u"Spiegel im Spiegel", u"Arvo Pärt", u"Alina", u":iPod_Control:Music:F03:PART.mp3", 2, 61200, 96, 44100, 1},
    {108, u"Für Elise", u"Ludwig van Beethoven", u"Klavierstücke", u":iPod_Control:Music:F03:ELSE.mp3", 7, 61900, 128, 44100, 1},
    {109, u"Águas de Março", u"Elis & Tom", u"Elis & Tom", u":iPod_Control:Music:F04:AGUA.m4a", 1, 213000, 256, 44100, 1},
    {110, u"road song", u"The Long Drive", u"Highway", u":iPod_Control:Music:F04:ROAD.mp3", 2, 198000, 192, 44100, 1},
    {111, u"Road Song", u"The Long Drive", u"Highway (Live)", u":iPod_Control:Music:F05:RDLV.mp3", 9, 242000, 128, 44100, 1},
    {112, u"Night Drive", u"The Long Drive", u"Highway", u":iPod_Control:Music:F05:NGHT.m4a", 11, 3725000, 128, 44100, 1},
    {113, u"Ça plane pour moi", u"Plastic Bertrand", u"AN1", u":iPod_Control:Music:F06:PLAN.mp3", 1, 181000, 192, 44100, 1},
    {114, u"Über den Wolken", u"Reinhard Mey", u"Mein Achtel Lorbeerblatt", u":iPod_Control:Music:F06:WOLK.mp3", 4, 254000, 160, 48000, 1},
    {115, u"Concert in the Park", u"The Long Drive", u"Live Videos", u":iPod_Control:Music:F07:PARK.m4v", 1, 1534000, 1200, 48000, 2},
    {116, u"Making of «Highway»", u"The Long Drive", u"Live Videos", u":iPod_Control:Music:F07:MAKE.m4v", 2, 845000, 900, 48000, 2},
};
static_assert(std::size(kTracks) == kDemoTrackCount);

std::u16string_view FileTypeOf(std::u16string_view location)
{
    if (location.ends_with(u".m4v"))
        return kVideo;
    if (location.ends_with(u".m4a"))
        return kAac;
    return kMp3;
}

// The location as a relative path below the player's root ("iPod_Control/Music/F00/BJRK.mp3").
std::string RelativePath(std::u16string_view location)
{
    std::string path;
    for (const char16_t c : location) {
        if (c == u':') {
            if (!path.empty())
                path += '/';
        } else {
            path += static_cast<char>(c); // locations are plain ASCII
        }
    }
    return path;
}

bool WritePlaceholder(const fs::path& file, const std::string& location, std::string& error)
{
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "Varnel demo placeholder: " << location << '\n';
    out.close();
    if (ec || !out) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

// The one cover, drawn here: a low sun over the sea at dusk, a 320 × 320 picture as the player
// keeps its large covers (RGB565, format 1060).
constexpr int kCoverSide = 320;
constexpr std::uint32_t kCoverImage = 100;
constexpr std::uint64_t kCoverDatabaseId = 0x5EED0000000070ull; // the track's 64-bit id, which the image names too

artworkwriter::Rgb Dusk(int x, int y)
{
    const double horizon = kCoverSide * 0.62;
    const double dx = x - kCoverSide * 0.5;
    const double dy = y - horizon;
    const double sun = std::sqrt(dx * dx + dy * dy);
    if (y < horizon) {
        if (sun < 56)
            return {255, 200 - static_cast<int>(sun), 90};
        const double t = y / horizon; // 0 at the top, 1 at the horizon
        return {static_cast<int>(40 + 200 * t), static_cast<int>(30 + 90 * t), static_cast<int>(90 + 20 * t)};
    }
    // The sea: dark blue, with the sun's light on the waves below it.
    const double depth = (y - horizon) / (kCoverSide - horizon);
    const bool glint = std::abs(dx) < 50 * (1 - depth) && (y / 6) % 2 == 0;
    if (glint)
        return {250, 170, 80};
    return {static_cast<int>(30 - 20 * depth), static_cast<int>(50 - 30 * depth), static_cast<int>(110 - 50 * depth)};
}

bool WriteFile(const fs::path& file, const std::vector<unsigned char>& bytes, std::string& error)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

// iPod_Control/Artwork/ArtworkDB and its thumbnail file, with the one cover.
bool WriteDemoArtwork(const fs::path& base, std::string& error)
{
    using namespace artworkwriter;
    const fs::path folder = base / "iPod_Control" / "Artwork";
    std::error_code ec;
    fs::create_directories(folder, ec);
    const Bytes pixels = Rgb565Slot(kCoverSide, kCoverSide, 0, 0, kCoverSide, kCoverSide, Dusk);
    ImageSpec image{kCoverImage, kCoverDatabaseId, {{1060, u":F1060_1.ithmb", 0, static_cast<std::uint32_t>(pixels.size()),
                                      kCoverSide, kCoverSide, 0, 0}}};
    return !ec && WriteFile(folder / "ArtworkDB", ArtworkDatabase({image}), error)
           && WriteFile(folder / "F1060_1.ithmb", pixels, error);
}

} // namespace

bool WriteDemoPlayer(const std::string& root, std::string& error)
{
    using namespace itdbwriter;
    std::vector<TrackSpec> tracks;
    std::vector<std::int32_t> all;
    for (const DemoTrack& demo : kTracks) {
        TrackSpec track = Track(demo.Id, demo.Title, demo.Location, demo.Album, demo.Artist, FileTypeOf(demo.Location));
        track.TrackNumber = demo.TrackNumber;
        track.LengthMs = demo.LengthMs;
        track.BitRate = demo.BitRate;
        track.SampleRate = demo.SampleRate << 16;
        track.MediaType = demo.MediaType;
        if (demo.Id == kDemoCoverTrack) {
            track.ArtworkId = kCoverImage;
            track.DatabaseId = kCoverDatabaseId;
        }
        tracks.push_back(std::move(track));
        all.push_back(demo.Id);
    }
    const std::vector<PlaylistSpec> playlists = {
        Playlist(u"Demo iPod", true, all),
        Playlist(u"Favourites ★", false, {106, 101, 109, 102, 113}),
        Playlist(u"Классика", false, {104, 105, 108, 107}),
        Playlist(u"Road Trip", false, {110, 112, 111, 114, 113}),
        Playlist(u"Videos", false, {115, 116}),
    };
    static_assert(kDemoPlaylistCount == 5);

    Database database;
    database.AddTracks(tracks);
    database.AddPlaylists(playlists);

    const fs::path base(root);
    std::error_code ec;
    fs::create_directories(base / "iPod_Control" / "iTunes", ec);
    const fs::path file = base / "iPod_Control" / "iTunes" / "iTunesDB";
    if (ec || !database.WriteTo(file.string())) {
        error = "cannot write " + file.string();
        return false;
    }
    for (const DemoTrack& demo : kTracks) {
        std::string location;
        for (const char16_t c : demo.Location)
            location += c == u':' ? '\\' : static_cast<char>(c);
        if (!WritePlaceholder(base / RelativePath(demo.Location), location, error))
            return false;
    }
    return WriteDemoArtwork(base, error);
}
