#include "MainFormFixture.h"
#include "TPreferencesForm.h"

#include <QAction>
#include <QDir>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string ReadText(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class PlaylistTest : public MainFormFixture {
protected:
    // Two tracks named alike and one that sorts first by title; a playlist whose name holds a
    // character no file name may.
    void OpenLibrary()
    {
        std::vector<itdbwriter::TrackSpec> tracks = {itdbwriter::Track(1, u"Intro"), itdbwriter::Track(2, u"Intro"),
                                                     itdbwriter::Track(3, u"Anthem")};
        tracks[2].LengthMs = 125500;
        OpenFile(Write(tracks, {itdbwriter::Playlist(u"Road/Trip", true, {1, 2, 3})}));
    }
    // Saves through the command, the dialog answering `path`.
    void Save(const QString& path)
    {
        dialogs.paths.push_back(path);
        form->ActionFileSavePlaylist->trigger();
    }
    QString Lists() const { return Folder.filePath("lists"); }
};

} // namespace

TEST_F(PlaylistTest, SavesTheRowsShownAsAPlaylistOfTheirCopies)
{
    // Disabled with no database open, with a shortcut of its own.
    EXPECT_FALSE(form->ActionFileSavePlaylist->isEnabled());
    for (const QAction* other : form->actions()) {
        if (other != form->ActionFileSavePlaylist && !other->shortcut().isEmpty()) {
            EXPECT_NE(other->shortcut(), form->ActionFileSavePlaylist->shortcut()) << other->objectName().toStdString();
        }
    }
    OpenLibrary();
    ASSERT_TRUE(form->ActionFileSavePlaylist->isEnabled());
    QDir().mkpath(Lists());

    // No extraction folder yet: the dialog opens in the documents folder, and the entries are
    // the copies' names beside the playlist, by the extraction's naming rule.
    Save(Lists() + "/first.m3u8");
    EXPECT_EQ(dialogs.dialogCaptions.value(1), "Save Playlist as M3U"); // after the open command's
    EXPECT_EQ(dialogs.dialogStarts.value(1),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Road_Trip.m3u8");
    EXPECT_EQ(ReadText(Lists() + "/first.m3u8"), "#EXTM3U\n"
                                                 "#EXTINF:215,Artist - Intro\n1 - Intro - Artist.mp3\n"
                                                 "#EXTINF:215,Artist - Intro\n1 - Intro - Artist (2).mp3\n"
                                                 "#EXTINF:125,Artist - Anthem\n1 - Anthem - Artist.mp3\n");

    // With an extraction folder: the dialog starts there; the entries lead from the playlist's
    // folder to the copies, in the list's current order; the folder setting stays.
    const QString music = Folder.filePath("music");
    QDir().mkpath(music);
    form->PreferencesForm->SetExtractPath(music.toStdString() + "/"); // as the export leaves it
    form->ActionSortTitle->trigger();
    Save(Lists() + "/second.m3u8");
    EXPECT_EQ(dialogs.dialogStarts.value(2), music + "/Road_Trip.m3u8");
    EXPECT_EQ(ReadText(Lists() + "/second.m3u8"), "#EXTM3U\n"
                                                  "#EXTINF:125,Artist - Anthem\n../music/1 - Anthem - Artist.mp3\n"
                                                  "#EXTINF:215,Artist - Intro\n../music/1 - Intro - Artist.mp3\n"
                                                  "#EXTINF:215,Artist - Intro\n../music/1 - Intro - Artist (2).mp3\n");
    EXPECT_EQ(form->PreferencesForm->GetExtractPath(), music.toStdString() + "/");

    // A folder that is gone counts as none; a cancelled dialog writes nothing.
    QDir(music).removeRecursively();
    Save(QString());
    EXPECT_EQ(dialogs.dialogStarts.value(3),
              QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/Road_Trip.m3u8");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Lists().toStdString()), {}), 2) << "nothing else written";
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.unexpected, 0);

    form->ActionFileClose->trigger();
    EXPECT_FALSE(form->ActionFileSavePlaylist->isEnabled());
}
