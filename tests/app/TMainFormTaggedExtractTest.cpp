#include "FakePlayer.h"
#include "ScriptedDialogs.h"

#include <QTreeWidget>

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

TEST(TaggedExtractTest, OnTheGoPlaylistsEndThePlaylistListAndDamagedNotesAreToldOfOnce)
{
    ScriptedDialogs dialogs;
    FakePlayer player({{1, u"One", ":iPod_Control:Music:F00:AAAA.mp3", "a"},
                       {2, u"Two", ":iPod_Control:Music:F00:BBBB.mp3", "b"}});
    const std::string itunes = player.Root() + "/iPod_Control/iTunes/";
    itdbwriter::WriteFile(itunes + "OTGPlaylistInfo", itdbwriter::PlayerNoteFile("mhpo", 20, 4, {{1}, {0}}));
    itdbwriter::WriteFile(itunes + "Play Counts", {'m', 'h', 'd', 'p'});
    TMainForm form;
    ASSERT_EQ(form.LoadDatabase(itunes + "iTunesDB"), 2);
    const int count = form.LstPlaylists->topLevelItemCount();
    ASSERT_GE(count, 2);
    EXPECT_EQ(form.LstPlaylists->topLevelItem(count - 1)->text(0), "On-The-Go 1");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains("Play Counts")) << dialogs.messages[0].text.toStdString();
}
