#include "TextMatch.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    std::u16string Title, Artist, Album;
};

bool Shown(const char16_t* query, const Row& row)
{
    const MatchWords words(query);
    return words.MatchesAny(FoldForMatch(row.Title), FoldForMatch(row.Artist), FoldForMatch(row.Album));
}

} // namespace

TEST(TextMatchTest, FoldingDropsCaseAndAccents)
{
    EXPECT_EQ(FoldForMatch(u"Björk"), u"bjork");
    EXPECT_EQ(FoldForMatch(u"TCHAIKOVSKY"), u"tchaikovsky");
    EXPECT_EQ(FoldForMatch(u"Straße"), u"strasse");      // full folding: ß is "ss"
    EXPECT_EQ(FoldForMatch(u"ÉLAN Ça"), u"elan ca");
    EXPECT_EQ(FoldForMatch(u"Ὀδυσσεύς"), u"οδυσσευσ");   // final sigma folds to sigma
    EXPECT_EQ(FoldForMatch(u"東京"), u"東京");
    EXPECT_EQ(FoldForMatch(u""), u"");
}

TEST(TextMatchTest, EveryWordMustOccurInSomeField)
{
    const Row joga{u"Jóga", u"Björk", u"Homogenic"};
    const Row swan{u"Swan Lake", u"Tchaikovsky", u"Ballets"};
    struct Case {
        const char16_t* Query;
        bool Joga, Swan;
    };
    const Case cases[] = {
        {u"", true, true},
        {u"  \t ", true, true},
        {u"bjork joga", true, false},
        {u"JOGA", true, false},
        {u"TCHAIKOVSKY", false, true},
        {u"lake ballets", false, true},
        {u"bjork lake", false, false}, // each word found, but in different rows
        {u"zzz", false, false},
        {u"o", true, true},
        {u"homo\u3000genic", true, false}, // ideographic space separates words too
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Shown(cases[i].Query, joga), cases[i].Joga) << "case " << i;
        EXPECT_EQ(Shown(cases[i].Query, swan), cases[i].Swan) << "case " << i;
    }
    EXPECT_TRUE(MatchWords(u"").Empty());
    EXPECT_EQ(MatchWords(u" a  B ").List(), (std::vector<std::u16string>{u"a", u"b"}));
}
