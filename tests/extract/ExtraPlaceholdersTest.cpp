#include "ExtraPlaceholders.h"
#include "FileNameTemplate.h"
#include "OneTrack.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

OneTrack Disc2Track()
{
    OneTrack t;
    t.SetTitle(u"Intro");
    t.SetArtist(u"  Guest ");
    t.SetAlbum(u"Sampler");
    t.SetAlbumArtist(u" Various Artists\t");
    t.SetGenre(u"Trip/Hop");
    t.SetComposer(u"P\u00E4rt");
    t.SetTrackNumber(7);
    TrackDetails details;
    details.Year = 1998;
    details.DiscNumber = 2;
    details.DiscCount = 3;
    t.SetDetails(details);
    return t;
}

} // namespace

TEST(ExtraPlaceholdersTest, ExpandInOnePassAndLeaveTheRestToTheWindowsRules)
{
    const OneTrack track = Disc2Track();
    OneTrack bare;
    bare.SetArtist(u"Solo");
    bare.SetTrackNumber(-3);
    const struct {
        const OneTrack& track;
        const char* part;
        std::string expanded;
        const char16_t* name; // after the window's expansion and cleaning
    } cases[] = {
        {track, "%albumartist%/%disc%-%tracknumber:2% %title%", "Various Artists/2-07 %title%", u"Various Artists_2-07 Intro"},
        {track, "%GENRE% %Composer% (%year%) %disc:3% of %disccount%", "Trip/Hop P\xC3\xA4rt (1998) 002 of 3",
         u"Trip_Hop P\u00E4rt (1998) 002 of 3"},
        {track, "%tracknumber% %tracknumber:1% %tracknumber:9%", "%tracknumber% 7 000000007", u"7 7 000000007"},
        // Numbers the player lacks are 0; an album artist it lacks is the artist.
        {bare, "%albumartist% %year% %disc:2% %tracknumber:3%", "Solo 0 00 -003", u"Solo 0 00 -003"},
        // Unknown or malformed placeholders, and widths out of range, stand as they are.
        {track, "100% %yr% %disc:0% %disc:003% %disc:% %%year%", "100% %yr% %disc:0% %disc:003% %disc:% %1998",
         u"100% %yr% %disc_0% %disc_003% %disc_% %1998"},
        {track, "%disc:10%|%tracknumber:03%|%disc:99%", "0000000002|007|" + std::string(98, '0') + "2", nullptr},
        // Texts the player lacks insert nothing (the command line then names the copy after
        // the player's file, as the window does an empty name).
        {bare, "%genre%%composer%", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.part);
        const std::string expanded = ExpandExtraPlaceholders(c.track, c.part);
        EXPECT_EQ(expanded, c.expanded);
        if (c.name) {
            EXPECT_EQ(BuildTrackFileName(c.track, expanded), c.name);
        }
    }
    // A value is not searched again: a genre that reads like a placeholder stays text.
    OneTrack tricky;
    tricky.SetGenre(u"%year%");
    TrackDetails details;
    details.Year = 2001;
    tricky.SetDetails(details);
    EXPECT_EQ(ExpandExtraPlaceholders(tricky, "%genre% %year%"), "%year% 2001");
}

TEST(ExtraPlaceholdersTest, UnknownPlaceholdersAreFoundOnceEach)
{
    EXPECT_EQ(UnknownPlaceholders("%artst%/%Title% - %artst% %disc:2% %disc:0% %yr%"),
              (std::vector<std::string>{"%artst%", "%disc:0%", "%yr%"}));
    EXPECT_TRUE(UnknownPlaceholders("50% off %TrackNumber:2% %%albumartist%% 100%").empty());
    EXPECT_TRUE(UnknownPlaceholders("").empty());
    // A width is 1 to 99 in one or two digits; any other text after the colon is refused.
    for (const char* width : {":3", ":03", ":10", ":99"})
        EXPECT_TRUE(UnknownPlaceholders(std::string("%tracknumber") + width + "%").empty()) << width;
    for (const char* width : {":x", ":-1", ":", ":003", ":100", ":0", ": 2"}) {
        const std::string placeholder = std::string("%tracknumber") + width + "%";
        EXPECT_EQ(UnknownPlaceholders(placeholder + "x"), std::vector<std::string>{placeholder}) << width;
    }
    const std::string known = KnownPlaceholderList();
    for (const char* name : {"%tracknumber%", "%tracknumber:N%", "%albumartist%", "%disc:N%", "%disccount%", "%autonumber%"})
        EXPECT_NE(known.find(name), std::string::npos) << name;
}

TEST(ExtraPlaceholdersTest, LeadingDotBecomesUnderscore)
{
    for (const auto& [name, shown] : std::vector<std::pair<std::u16string, std::u16string>>{
             {u".38 Special", u"_38 Special"}, {u"..", u"_."}, {u"a.b", u"a.b"}, {u"", u""}}) {
        std::u16string n = name;
        UnhideName(n);
        EXPECT_EQ(n, shown);
    }
}
