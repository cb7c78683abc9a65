#include "OneTrack.h"
#include "TrackCopyPlan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A fake player holding two files, spelled in the letter case the tests need.
class TrackCopyPlanTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Root = fs::temp_directory_path() / ("varnel-plan-" + std::to_string(::getpid()));
        fs::remove_all(Root);
        for (const char* file : {"iPod_Control/Music/F03/ABCD.mp3", "iPod_Control/Music/f01/NOEXT"}) {
            fs::create_directories((Root / file).parent_path());
            std::ofstream(Root / file) << "x";
        }
    }
    void TearDown() override { fs::remove_all(Root); }

    TrackCopyPlan Plan(const char* location, const std::u16string& title, const char* format = "%tracknumber% - %title%")
    {
        OneTrack track;
        track.SetLocation(location);
        track.SetTrackNumber(3);
        track.SetTitle(title);
        return PlanTrackCopy(track, Root.string(), "/home/user/Music", format);
    }

    fs::path Root;
};

} // namespace

TEST_F(TrackCopyPlanTest, SourceIsFoundInAnyLetterCaseAndKeepsTheExtension)
{
    const TrackCopyPlan exact = Plan(":iPod_Control:Music:F03:ABCD.mp3", u"Song");
    EXPECT_EQ(exact.Source, (Root / "iPod_Control/Music/F03/ABCD.mp3").string());
    EXPECT_EQ(exact.Destination, "/home/user/Music/3 - Song.mp3");
    EXPECT_TRUE(exact.Refusal.empty());

    const TrackCopyPlan otherCase = Plan(":iPod_Control:Music:F01:NoExt", u"Bare");
    EXPECT_EQ(otherCase.Source, (Root / "iPod_Control/Music/f01/NOEXT").string());
    EXPECT_EQ(otherCase.Extension, "");
    EXPECT_EQ(otherCase.Destination, "/home/user/Music/3 - Bare");

    // Nothing found: the path as written, so that the copy reports the system's reason.
    EXPECT_EQ(Plan(":iPod_Control:Music:F09:GONE.m4a", u"x").Source, (Root / "iPod_Control/Music/F09/GONE.m4a").string());
}

TEST_F(TrackCopyPlanTest, ALocationThatLeavesThePlayerIsRefused)
{
    for (const char* location : {":iPod_Control:..:..:etc:passwd", "\\..\\secret.mp3", ":.:iPod_Control:x.mp3"}) {
        const TrackCopyPlan plan = Plan(location, u"x");
        EXPECT_FALSE(plan.Refusal.empty()) << location;
        EXPECT_EQ(plan.Source.rfind(Root.string(), 0), 0u) << "shown below the player root: " << plan.Source;
    }
    // Without a player root a location would be read from the system's root folder.
    OneTrack track;
    track.SetLocation(":etc:passwd");
    EXPECT_FALSE(PlanTrackCopy(track, "", "/home/user/Music", "%title%").Refusal.empty());
}

TEST_F(TrackCopyPlanTest, ExtensionIsTheLastDotAfterEverySeparator)
{
    EXPECT_EQ(PlayerFileExtension("/a/b/c.tar.gz"), ".gz");
    EXPECT_EQ(PlayerFileExtension("/a.dir/file"), "");
    EXPECT_EQ(PlayerFileExtension("\\a.dir\\file"), "");
    EXPECT_EQ(PlayerFileExtension("/a/file."), ".");
    EXPECT_EQ(PlayerFileExtension(""), "");
}

TEST_F(TrackCopyPlanTest, UnusableNamesFallBackToThePlayerFileName)
{
    EXPECT_EQ(Plan(":iPod_Control:Music:F03:ABCD.mp3", u"", "%title%").Destination, "/home/user/Music/ABCD.mp3");
    EXPECT_EQ(Plan(":iPod_Control:Music:F03:ABCD.mp3", u" . ", "%title%").Destination, "/home/user/Music/ABCD.mp3");
    EXPECT_EQ(Plan(":iPod_Control:Music:F03:ABCD.mp3", u"..", "%title%").Destination, "/home/user/Music/ABCD.mp3");
    EXPECT_EQ(Plan(":iPod_Control:Music:F03:ABCD.mp3", u"...", "%title%").Destination, "/home/user/Music/....mp3");
    // The player file's own name and extension obey the rules of an expanded name.
    EXPECT_EQ(Plan(":iPod_Control:Music:F03:A\x1b<B.m*p\x07", u"", "%title%").Destination, "/home/user/Music/A__B.m_p_");
    EXPECT_EQ(Plan(":iPod_Control:Music:F03:A.m\tp3", u"Song", "%title%").Destination, "/home/user/Music/Song.m_p3");
}

TEST_F(TrackCopyPlanTest, LongNamesAreCutToFitTheFileSystemAtACharacterBoundary)
{
    // 200 two-byte letters are 400 bytes: the name keeps what fits with ".mp3" in 255 bytes.
    const TrackCopyPlan plan = Plan(":iPod_Control:Music:F03:ABCD.mp3", std::u16string(200, u'é'), "%title%");
    const std::string fileName = fs::path(plan.Destination).filename().string();
    EXPECT_EQ(fileName.size(), 4 + 250u);
    EXPECT_EQ(plan.Name, std::u16string(125, u'é'));

    // A surrogate pair (four bytes) is kept or dropped whole.
    const std::u16string notes = u"a\U0001F3B5\U0001F3B5";
    EXPECT_EQ(FitFileName(notes, 255 - 5), u"a\U0001F3B5");
    EXPECT_EQ(FitFileName(notes, 255 - 4), u"a");
    EXPECT_EQ(FitFileName(u"abc", 300), u"");
    EXPECT_EQ(FitFileName(u"abc", 0), u"abc");
}
