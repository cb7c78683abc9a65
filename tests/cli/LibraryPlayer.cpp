#include "LibraryPlayer.h"

namespace fs = std::filesystem;
using namespace itdbwriter;

namespace {

TrackSpec LibraryTrack(std::int32_t id, std::u16string_view title, std::u16string_view file, std::u16string_view album,
                       std::u16string_view artist, std::int32_t number)
{
    TrackSpec t = Track(id, title, u":iPod_Control:Music:F00:" + std::u16string(file), album, artist);
    t.TrackNumber = number;
    t.BitRate = 128;
    t.SampleRate = static_cast<std::int32_t>(44100u * 65536u);
    t.LengthMs = 61500;
    return t;
}

} // namespace

void LibraryPlayer::SetUp()
{
    Root = Temp.File("player");
    Config = Temp.File("config");
    fs::create_directories(Config);

    TrackSpec intro = LibraryTrack(201, u"Intro", u"AAAA.mp3", u"First", u"Band", 1);
    intro.Objects.push_back(StringObject(ObjAlbumArtist, u"Band"));
    intro.Objects.push_back(StringObject(ObjGenre, u"Rock"));
    intro.Objects.push_back(StringObject(ObjComposer, u"\u00C9crivain"));
    intro.Objects.push_back(StringObject(ObjComment, u"first \"take\""));
    intro.Year = 1999;
    intro.DiscNumber = 1;
    intro.DiscCount = 2;
    intro.TrackCount = 10;
    intro.Rating = 80;
    intro.PlayCount = 3;
    intro.FileSize = 11;
    intro.DateAdded = 3555325343u; // 2016-08-29 14:22:23
    TrackSpec again = LibraryTrack(202, u"Intro", u"BBBB.mp3", u"First", u"Band", 1);
    again.Objects.push_back(StringObject(ObjAlbumArtist, u"Band"));
    again.DiscNumber = 2;
    again.DiscCount = 2;
    TrackSpec joga = LibraryTrack(203, u"J\u00F3ga", u"CCCC.m4a", u"Homogenic", u"Bj\u00F6rk", 2);
    joga.Year = 1997;
    TrackSpec special = LibraryTrack(204, u"Hold On Loosely", u"DDDD.mp3", u".38", u".38 Special", 3);
    TrackSpec guest = LibraryTrack(205, u"Song", u"EEEE.mp3", u"Sampler", u"Guest", 12);
    guest.Objects.push_back(StringObject(ObjAlbumArtist, u"Various Artists"));
    guest.Compilation = 1;
    Db.AddTracks({intro, again, joga, special, guest});
    Db.AddPlaylists({Playlist(u"Library", true, {201, 202, 203, 204, 205}), Playlist(u"Road", false, {203, 999, 201}),
                     Playlist(u"road", false, {205}), Playlist(u"Mix/Tape", false, {204, 202})});
    fs::create_directories(fs::path(DatabasePath()).parent_path());
    ASSERT_TRUE(Db.WriteTo(DatabasePath()));
    for (const char* file : {"AAAA.mp3", "BBBB.mp3", "CCCC.m4a", "DDDD.mp3", "EEEE.mp3"})
        WriteText(Root / "iPod_Control/Music/F00" / file, std::string("audio of ") + file);
}

ProgramResult LibraryPlayer::Run(const std::vector<std::string>& args) const
{
    return RunProgram(VARNEL_CLI_PROGRAM, args,
                      {"XDG_CONFIG_HOME=" + Config.string(), "HOME=" + Config.string(), "TZ=UTC0"});
}

void LibraryPlayer::SaveSettings(const std::string& body) const
{
    WriteText(Config / "Mardle Works/Varnel.conf", "[General]\n" + body);
}
