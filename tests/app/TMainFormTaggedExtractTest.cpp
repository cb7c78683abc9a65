#include "FakePlayer.h"
#include "ScriptedDialogs.h"

#include <QMenu>

#include <gtest/gtest.h>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

TEST(TaggedExtractTest, TheCommandTagsWhatTakesTagsAndSaysHowManyCopiesStayedPlain)
{
    ScriptedDialogs dialogs;
    const std::string mp3 = FakePlayer::Read(std::string(VARNEL_RESCUE_MEDIA) + "/notags.mp3");
    FakePlayer player({{1, u"One", ":iPod_Control:Music:F00:AAAA.mp3", mp3},
                       {2, u"Two", ":iPod_Control:Music:F01:BBBB.wav", "not a tagged kind"}});
    TMainForm form;
    player.OpenIn(form, {0, 1});
    FakePlayer::Select(form, {0, 1});
    dialogs.paths.push_back(QString::fromStdString(player.Out()));
    form.ActionFileExtractTagged->trigger();

    TagLib::MPEG::File copy(player.Out("1 - One - Band.mp3").c_str());
    ASSERT_TRUE(copy.ID3v2Tag());
    EXPECT_EQ(copy.ID3v2Tag()->title(), "One"); // the file had none: the player's filled in
    EXPECT_EQ(copy.ID3v2Tag()->album(), "Album");
    EXPECT_EQ(FakePlayer::Read(player.Out("2 - Two - Band.wav")), "not a tagged kind");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Warning);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith("1 copy could not be tagged")) << dialogs.messages[0].text.toStdString();

    // The plain command still copies byte for byte.
    std::filesystem::remove(player.Out("1 - One - Band.mp3"));
    FakePlayer::Select(form, {0});
    dialogs.paths.push_back(QString::fromStdString(player.Out()));
    form.ActionFileExtract->trigger();
    EXPECT_TRUE(FakePlayer::Read(player.Out("1 - One - Band.mp3")) == mp3);
}
