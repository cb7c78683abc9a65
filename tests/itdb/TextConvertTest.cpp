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

// Plain ASCII is converted several units at a time; a zero or a non-ASCII unit anywhere in such a
// block, at any offset and string length, must still be found exactly where it stands.
TEST(TextConvertTest, NarrowFromWideFindsZerosAndNonAsciiAtEveryPosition)
{
    for (std::size_t length = 1; length <= 13; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::u16string withZero(length, u'a');
            withZero[at] = 0;
            EXPECT_EQ(NarrowFromWide(withZero), std::string(at, 'a')) << length << " " << at;

            std::u16string withUmlaut(length, u'b');
            withUmlaut[at] = u'\u00FC';
            std::string expected(length, 'b');
            expected.replace(at, 1, "\xC3\xBC");
            EXPECT_EQ(NarrowFromWide(withUmlaut), expected) << length << " " << at;

            std::u16string withDel(length, u'c');
            withDel[at] = 0x7F;
            EXPECT_EQ(NarrowFromWide(withDel), std::string(length, 'c').replace(at, 1, "\x7F")) << length << " " << at;
        }
    }
}
