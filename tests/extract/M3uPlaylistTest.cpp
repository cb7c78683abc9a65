#include "M3uPlaylist.h"
#include "OneTrack.h"

#include <gtest/gtest.h>

#include <string>

// Each entry keeps its two lines, whatever the track's texts and the copy's path hold.
TEST(M3uPlaylistTest, EveryEntryIsTwoLines)
{
    const struct {
        const char* what;
        std::u16string artist;
        std::u16string title;
        std::string path;
        std::string lines;
    } cases[] = {
        {"artist and title", u"Band", u"Intro", "../Band/Intro.mp3", "#EXTINF:61,Band - Intro\n../Band/Intro.mp3\n"},
        {"no artist, no dash", u"", u"Intro", "Intro.mp3", "#EXTINF:61,Intro\nIntro.mp3\n"},
        {"line breaks in the texts", u"Ba\rnd", u"In\ntro", "a.mp3", "#EXTINF:61,Ba nd - In tro\na.mp3\n"},
        {"a carriage return in the path", u"Band", u"Intro", "../x\ry\nz.mp3", "#EXTINF:61,Band - Intro\n../x y z.mp3\n"},
    };
    for (const auto& c : cases) {
        OneTrack track;
        track.SetArtist(c.artist);
        track.SetTitle(c.title);
        track.SetLength(61000);
        EXPECT_EQ(M3uText({{&track, c.path}}), "#EXTM3U\n" + c.lines) << c.what;
    }
}
