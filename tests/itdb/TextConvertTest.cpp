#include "TextConvert.h"

#include <gtest/gtest.h>

TEST(TextConvertTest, NarrowFromWideEncodesEveryPlaneAsUtf8)
{
    EXPECT_EQ(NarrowFromWide(u""), "");
    EXPECT_EQ(NarrowFromWide(u"MPEG audio file"), "MPEG audio file");
    EXPECT_EQ(NarrowFromWide(u"\u00E4\u00DF"), "\xC3\xA4\xC3\x9F");
    EXPECT_EQ(NarrowFromWide(u"\u07FF\u0800"), "\xDF\xBF\xE0\xA0\x80");
    EXPECT_EQ(NarrowFromWide(u"\u6771\uFFFF"), "\xE6\x9D\xB1\xEF\xBF\xBF");
    EXPECT_EQ(NarrowFromWide(u"\U0001F3B5"), "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(NarrowFromWide(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
}

TEST(TextConvertTest, NarrowFromWideStopsAtTheFirstZero)
{
    EXPECT_EQ(NarrowFromWide(std::u16string_view(u"ab\0cd", 5)), "ab");
    EXPECT_EQ(NarrowFromWide(std::u16string_view(u"\0x", 2)), "");
}

TEST(TextConvertTest, UnpairedSurrogatesBecomeReplacementCharacters)
{
    const std::string fffd = "\xEF\xBF\xBD";
    const char16_t high = 0xD83C, low = 0xDFB5;
    EXPECT_EQ(NarrowFromWide(std::u16string{high}), fffd);
    EXPECT_EQ(NarrowFromWide(std::u16string{low}), fffd);
    EXPECT_EQ(NarrowFromWide(std::u16string{high, u'a'}), fffd + "a");
    EXPECT_EQ(NarrowFromWide(std::u16string{low, high}), fffd + fffd);
    EXPECT_EQ(NarrowFromWide(std::u16string{high, high, low}), fffd + "\xF0\x9F\x8E\xB5");
    EXPECT_EQ(NarrowFromWide(std::u16string{high, 0, low}), fffd);
}

TEST(TextConvertTest, WideFromNarrowRoundTripsValidText)
{
    const std::u16string texts[] = {u"", u"Straße 東京 \U0001F3B5", u"\u0080\u07FF\u0800\uFFFD\U00010000\U0010FFFF"};
    for (const std::u16string& text : texts)
        EXPECT_EQ(WideFromNarrow(NarrowFromWide(text)), text);
}

TEST(TextConvertTest, WideFromNarrowReplacesMalformedBytes)
{
    EXPECT_EQ(WideFromNarrow("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(WideFromNarrow("\xC3"), u"\uFFFD");                 // cut short at the end
    EXPECT_EQ(WideFromNarrow("\xE6\x9D" "x"), u"\uFFFDx");        // cut short before ASCII
    EXPECT_EQ(WideFromNarrow("\xC0\xAF"), u"\uFFFD");             // overlong
    EXPECT_EQ(WideFromNarrow("\xED\xA0\x80"), u"\uFFFD");         // encoded surrogate
    EXPECT_EQ(WideFromNarrow("\xF4\x90\x80\x80"), u"\uFFFD");     // beyond U+10FFFF
    EXPECT_EQ(WideFromNarrow(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}
