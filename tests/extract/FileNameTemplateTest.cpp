#include "FileNameTemplate.h"
#include "ForbiddenFileNameChars.h"
#include "OneTrack.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

namespace {

struct Fields {
    Fields(std::int32_t n, std::u16string t, std::u16string ar = {}, std::u16string al = {}, std::int32_t o = 0)
        : number(n), title(std::move(t)), artist(std::move(ar)), album(std::move(al)), ordinal(o)
    {
    }
    std::int32_t number;
    std::u16string title;
    std::u16string artist;
    std::u16string album;
    std::int32_t ordinal;
};

OneTrack MakeTrack(const Fields& f)
{
    OneTrack t;
    t.SetTrackNumber(f.number);
    t.SetTitle(f.title);
    t.SetArtist(f.artist);
    t.SetAlbum(f.album);
    t.SetOrdinal(f.ordinal);
    return t;
}

struct Case {
    const char* what;
    std::string format;
    Fields track;
    std::u16string expected;
};

} // namespace

TEST(FileNameTemplateTest, ExpandsPlaceholdersInOrderThenReplacesForbiddenCharacters)
{
    const Case cases[] = {
        {"default template, trimmed title, slash in artist", "%tracknumber% - %title% - %artist%",
         {7, u"  Intro ", u"Up/Down"}, u"7 - Intro - Up_Down"},
        {"no leading zeros, negative and missing numbers", "%tracknumber%|%autonumber%", {-12, u"", u"", u"", 3},
         u"-12_3"},
        {"placeholders in any letter case", "%TrackNumber%. %TITLE% [%Album%]", {5, u"Song", u"", u"Disc"},
         u"5. Song [Disc]"},
        {"a title is not searched again by its own step", "%tracknumber% - %title%", {5, u"50%title%"},
         u"5 - 50%title%"},
        {"but later steps search it", "%title%", {1, u"A %ARTIST% B %album%", u"Band", u"LP"}, u"A Band B LP"},
        {"an earlier placeholder in a later field stays literal", "%artist%", {9, u"T", u"%tracknumber%"},
         u"%tracknumber%"},
        {"unknown placeholders stay", "%year% %title", {1, u"x"}, u"%year% %title"},
        {"every forbidden character from the fields", "%title%%artist%", {1, u"a/b\\c:d*e?f", u"\"g<h>i|j"},
         u"a_b_c_d_e_f_g_h_i_j"},
        {"forbidden characters in the template", "%title%?<>", {1, u"t"}, u"t___"},
        {"letters beyond ASCII stand unchanged", "%title% - %artist%", {1, u"Ça été", u"Кино"}, u"Ça été - Кино"},
        {"fields trimmed to nothing insert nothing", "%tracknumber% - %title% - %artist%", {3, u"\t \r", u""},
         u"3 -  - "},
        {"control characters and DEL inside a field; C1 and the separators stay", "%title%",
         {1, u"a\tb\x1F" u"c\x7F" u"d\u0085\u2028"}, u"a_b_c_d\u0085\u2028"},
        {"a placeholder formed by a replacement is not expanded again", "%ti%title%tle%", {1, u""}, u"%title%"},
        {"an empty template falls back to the default", "", {2, u"Song", u"Band"}, u"2 - Song - Band"},
        {"non-ASCII letters match only themselves", "%TİTLE%", {1, u"x"}, u"%TİTLE%"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildTrackFileName(MakeTrack(c.track), c.format), c.expected) << c.what;
}

TEST(FileNameTemplateTest, EveryStepKeepsAtMost259Units)
{
    // A field long enough to overflow, and text after it that no longer fits.
    const std::u16string title(300, u'x');
    EXPECT_EQ(BuildTrackFileName(MakeTrack({1, title}), "%title% tail"), std::u16string(259, u'x'));

    // The cut happens at each step: a placeholder cut short by an earlier step stays unexpanded.
    const std::u16string near(255, u't');
    EXPECT_EQ(BuildTrackFileName(MakeTrack({1, near, u"ARTIST"}), "%title%%artist%"), near + u"%art");

    // A surrogate pair that straddles the limit is dropped whole, never halved.
    const std::u16string pair = u"\U0001F3B5";
    const std::u16string name = BuildTrackFileName(MakeTrack({1, std::u16string(258, u'y') + pair}), "%title%");
    EXPECT_EQ(name, std::u16string(258, u'y'));

    // A zero unit ends the text.
    EXPECT_EQ(BuildTrackFileName(MakeTrack({1, std::u16string(u"ab\0cd", 5)}), "%title%!"), u"ab");
}

TEST(FileNameTemplateTest, FindAndReplaceCompareOnlyAsciiLettersWithoutCase)
{
    EXPECT_EQ(FindNoCase(u"xx%TiTlE%", 0, u"%title%"), 2u);
    EXPECT_EQ(FindNoCase(u"abcabc", 1, u"ABC"), 3u);
    EXPECT_EQ(FindNoCase(u"abc", 3, u"c"), std::nullopt);
    EXPECT_EQ(FindNoCase(u"ab", 0, u"abc"), std::nullopt);
    EXPECT_EQ(FindNoCase(u"abc", 0, u""), std::nullopt);
    EXPECT_EQ(FindNoCase(u"[", 0, u"{"), std::nullopt); // '[' and '{' differ by the case bit only
    EXPECT_EQ(FindNoCase(u"é", 0, u"É"), std::nullopt);

    EXPECT_EQ(ReplaceAllNoCase(u"aaaa", u"aa", u"a"), u"aa");
    EXPECT_EQ(ReplaceAllNoCase(u"abc", u"", u"z"), u"abc");
}

TEST(FileNameTemplateTest, TemplatesWithAForbiddenCharacterAreTold)
{
    for (const char forbidden : std::string_view("/\\:*?\"<>|"))
        EXPECT_TRUE(ContainsForbiddenFileNameChar(std::string("%title%") + forbidden + "x")) << forbidden;
    // Everything else may stand in a name, letters from beyond ASCII included.
    EXPECT_FALSE(ContainsForbiddenFileNameChar("%tracknumber% - %title% (%artist%) [1.0]_~'!#$&+,;=@^`{}\xC3\xA9"));
}
