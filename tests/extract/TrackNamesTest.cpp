#include "OneTrack.h"
#include "TrackNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace {

struct Given {
    std::u16string Title;
    std::u16string Artist = u"Band";
    const char* Location = ":iPod_Control:Music:F00:AAAA.mp3";
};

// Tracks numbered by the order in which the list gives them, as the reader numbers them.
class TrackNamesTest : public ::testing::Test {
protected:
    std::vector<const OneTrack*> Make(const std::vector<Given>& given)
    {
        std::vector<const OneTrack*> made;
        for (const Given& one : given) {
            OneTrack& track = Tracks.emplace_back();
            track.SetTitle(one.Title);
            track.SetArtist(one.Artist);
            track.SetLocation(one.Location);
            track.SetOrdinal(static_cast<std::int32_t>(Tracks.size()));
            made.push_back(&track);
        }
        return made;
    }
    static std::vector<std::string> PathsOf(const TrackNames& names, const std::vector<const OneTrack*>& tracks)
    {
        std::vector<std::string> paths;
        for (const OneTrack* track : tracks)
            paths.push_back(names.RelativePath(*track));
        return paths;
    }

    std::deque<OneTrack> Tracks;
};

TEST_F(TrackNamesTest, EachTrackTakesTheFirstNameNoEarlierTrackTook)
{
    struct Case {
        const char* What;
        std::vector<Given> Cases;
        TrackNameRule Rule;
        std::vector<std::string> Expected;
    };
    const std::string longTitle(300, 'x');
    const std::vector<Case> cases = {
        {"twins, and a track whose own name is the twin's number",
         {{u"Intro"}, {u"Intro"}, {u"Intro (2)"}, {u"Intro"}, {u"Intro", u"Band", ":F00:B.m4a"}},
         {"%title%"},
         {"Intro.mp3", "Intro (2).mp3", "Intro (2) (2).mp3", "Intro (3).mp3", "Intro.m4a"}},
        {"letter case counts where the file system heeds it",
         {{u"road song"}, {u"Road Song"}},
         {"%title%"},
         {"road song.mp3", "Road Song.mp3"}},
        {"letter case folded where it does not, beyond ASCII, extension too",
         {{u"road song"}, {u"Road Song"}, {u"\u00C4RGER"}, {u"\u00E4rger"}, {u"x", u"Band", ":F00:C.MP3"},
          {u"X"}, {u"Stra\u00DFe"}, {u"STRASSE"}},
         {"%title%", false, true},
         {"road song.mp3", "Road Song (2).mp3", "\xC3\x84RGER.mp3", "\xC3\xA4rger (2).mp3", "x.MP3", "X (2).mp3",
          "Stra\xC3\x9F" "e.mp3", "STRASSE.mp3"}},
        {"the whole path below the destination is one name",
         {{u"Intro", u"Band"}, {u"Intro", u"band"}, {u"Intro", u"Other"}, {u"Intro", u"BAND"}},
         {"%artist%/%title%", true, true},
         {"Band/Intro.mp3", "band/Intro (2).mp3", "Other/Intro.mp3", "BAND/Intro (3).mp3"}},
        {"the number stays within 255 bytes",
         {{std::u16string(longTitle.begin(), longTitle.end())}, {std::u16string(longTitle.begin(), longTitle.end())}},
         {"%title%"},
         {std::string(251, 'x') + ".mp3", std::string(247, 'x') + " (2).mp3"}},
    };
    for (const Case& c : cases) {
        const std::vector<const OneTrack*> tracks = Make(c.Cases);
        // Given in reverse, taken in ordinal order all the same.
        const TrackNames names(std::vector<const OneTrack*>(tracks.rbegin(), tracks.rend()), c.Rule);
        EXPECT_EQ(PathsOf(names, tracks), c.Expected) << c.What;
        EXPECT_EQ(names.Count(), tracks.size()) << c.What;
    }
}

TEST_F(TrackNamesTest, ANameDependsOnlyOnTheTracksBeforeIt)
{
    std::vector<Given> given;
    for (int i = 0; i < 3000; ++i)
        given.push_back({i % 3 == 0 ? u"Intro (2)" : u"Intro"});
    const std::vector<const OneTrack*> tracks = Make(given);
    const TrackNames all(tracks, {"%title%"});
    // A track limit reads a prefix: the names of that prefix do not change.
    const std::vector<const OneTrack*> prefix(tracks.begin(), tracks.begin() + 100);
    const TrackNames limited(prefix, {"%title%"});
    std::vector<std::string> paths = PathsOf(all, tracks);
    EXPECT_EQ(PathsOf(limited, prefix), std::vector<std::string>(paths.begin(), paths.begin() + 100));
    EXPECT_EQ(paths[3], "Intro (2) (2).mp3");

    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(std::unique(paths.begin(), paths.end()), paths.end()) << "two tracks share a name";

    OneTrack stranger;
    EXPECT_EQ(all.RelativePath(stranger), "");
}

} // namespace
