#include "FakePlayer.h"
#include "PhotoFixtures.h"
#include "ScriptedDialogs.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <filesystem>

TEST(PhotosExtractTest, TheCommandSaysWhatIsMissingOrWritesEveryAlbum)
{
    StoreSettings({});
    ScriptedDialogs dialogs;
    FakePlayer player({{1, u"One", ":iPod_Control:Music:F00:AAAA.mp3", "a"}});
    TMainForm form;
    form.ActionFileExtractPhotos->trigger();
    player.OpenIn(form, {0});
    form.ActionFileExtractPhotos->trigger();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, "Open a player first.");
    EXPECT_EQ(dialogs.messages[1].text, "This player holds no photos.");
    EXPECT_EQ(dialogs.messages[1].icon, UserDialogs::Icon::Warning);
    EXPECT_TRUE(dialogs.dialogCaptions.isEmpty());

    using photofixtures::SourcePicture;
    ASSERT_EQ(photofixtures::WritePhotoPlayer(player.Root(), "MA477", {SourcePicture(64, 48), SourcePicture(48, 64)},
                                              {{"Trip", {1}}}),
              "");
    dialogs.paths.push_back(QString::fromStdString(player.Out()));
    form.ActionFileExtractPhotos->trigger();
    EXPECT_EQ(dialogs.dialogCaptions, QStringList{"Extract Photos"});
    EXPECT_EQ(dialogs.messages.size(), 2u);
    std::size_t files = 0;
    for (const char* album : {"Photo Library", "Trip"}) {
        ASSERT_TRUE(std::filesystem::is_directory(player.Out(album))) << album;
        for (const auto& entry : std::filesystem::directory_iterator(player.Out(album))) {
            EXPECT_EQ(entry.path().extension(), ".jpg");
            ++files;
        }
    }
    EXPECT_EQ(files, 2u); // the photo in "Trip" is not written again into the master's folder
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready");
    EXPECT_EQ(form.LblRunSummary->text(), "Extracted 2 of 2 photos to " + QString::fromStdString(player.Out()));
}
