#include "CopyHooks.h"
#include "MainFormFixture.h"
#include "TPreferencesForm.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTreeView>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <functional>
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
    // With a shortcut of its own.
    for (const QAction* other : form->actions()) {
        if (other != form->ActionFileSavePlaylist && !other->shortcut().isEmpty()) {
            EXPECT_NE(other->shortcut(), form->ActionFileSavePlaylist->shortcut()) << other->objectName().toStdString();
        }
    }
    OpenLibrary();
    QDir().mkpath(Lists());
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString startFolder = QDir(documents).exists() ? documents : QDir::homePath();

    // No extraction folder yet: the dialog opens in the documents folder, and the entries are
    // the copies' names beside the playlist, by the extraction's naming rule. There are no
    // copies there yet, which is said first.
    dialogs.answers.push_back(UserDialogs::Answer::Yes);
    Save(Lists() + "/first.m3u8");
    EXPECT_EQ(dialogs.dialogCaptions.value(1), "Save Playlist as M3U"); // after the open command's
    EXPECT_EQ(dialogs.dialogStarts.value(1), startFolder + "/Road_Trip.m3u8");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "3 of 3 tracks of this playlist have no copy in " + Lists() + " yet.");
    EXPECT_EQ(dialogs.messages[0].buttons, UserDialogs::Buttons::SaveAnywayCancel);
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
    dialogs.answers.push_back(UserDialogs::Answer::Yes);
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
    EXPECT_EQ(dialogs.dialogStarts.value(3), startFolder + "/Road_Trip.m3u8");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Lists().toStdString()), {}), 2) << "nothing else written";
    EXPECT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.unexpected, 0);

    // Never greyed out: with no rows shown, or no database, it says so.
    form->TrackFilter->setText("nothing matches this");
    form->ActionFileSavePlaylist->trigger();
    form->ActionFileClose->trigger();
    form->ActionFileSavePlaylist->trigger();
    EXPECT_TRUE(form->ActionFileSavePlaylist->isEnabled());
    ASSERT_EQ(dialogs.messages.size(), 4u);
    for (std::size_t i = 2; i < 4; ++i) {
        EXPECT_EQ(dialogs.messages[i].text, "There are no tracks to save.");
        EXPECT_EQ(dialogs.messages[i].icon, UserDialogs::Icon::Error);
    }
    EXPECT_EQ(dialogs.dialogStarts.size(), 4) << "no file chooser without tracks";
}

TEST_F(DemoPlayerFixture, APlaylistPointsAtTheLastExtractionNotAtTheLastExport)
{
    const QString out = Folder.filePath("out1");
    const QString exported = Folder.filePath("exp");
    const QString lists = Folder.filePath("lists");
    for (const QString& folder : {out, exported, lists})
        QDir().mkpath(folder);
    const QString playlist = lists + "/demo.m3u8";
    form->TrackList->selectionModel()->select(
        QItemSelection(form->TrackListItems->index(0, 0), form->TrackListItems->index(1, 0)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dialogs.paths.push_back(out);
    form->ActionFileExtract->trigger();
    dialogs.paths.push_back(exported + "/tracks.csv");
    form->ActionFileExport->trigger();
    ASSERT_EQ(form->PreferencesForm->GetExtractPath(), exported.toStdString() + "/");
    ASSERT_TRUE(dialogs.messages.empty());

    // Told which copies are missing, and Cancel writes nothing; Save Anyway writes every entry
    // as leading into the extraction's folder.
    for (const UserDialogs::Answer answer : {UserDialogs::Answer::No, UserDialogs::Answer::Yes}) {
        dialogs.answers.push_back(answer);
        dialogs.paths.push_back(playlist);
        form->ActionFileSavePlaylist->trigger();
        EXPECT_EQ(dialogs.messages.back().text,
                  QString("14 of %1 tracks of this playlist have no copy in %2 yet.").arg(kDemoTrackCount).arg(out));
        EXPECT_EQ(QFileInfo::exists(playlist), answer == UserDialogs::Answer::Yes);
    }
    const QString text = QString::fromStdString(ReadText(playlist));
    EXPECT_EQ(text.count("\n../out1/"), kDemoTrackCount) << text.toStdString();
    EXPECT_EQ(dialogs.unexpected, 0);
}

// The warning about missing copies gives time to swap the chosen file, or its folder, for a link
// onto the player: the playlist is judged again as it is written, and the player stays as it was.
TEST_F(DemoPlayerFixture, APlaylistSwappedOntoThePlayerDuringTheWarningIsRefused)
{
    namespace fs = std::filesystem;
    const fs::path itunes = Folder.filePath("demo/iPod_Control/iTunes").toStdString();
    const fs::path lists = Folder.filePath("lists").toStdString();
    const std::string database = ReadText(QString::fromStdString((itunes / "iTunesDB").string()));
    const auto entries = [&] { return std::distance(fs::directory_iterator(itunes), {}); };
    const auto before = entries();
    const struct {
        const char* What;
        std::function<void()> Swap;
    } cases[] = {
        {"the file", [&] { fs::create_symlink(itunes / "iTunesDB", lists / "list.m3u8"); }},
        {"its folder", [&] { fs::rename(lists, lists.string() + "-moved"), fs::create_directory_symlink(itunes, lists); }},
    };
    for (const auto& c : cases) {
        fs::remove_all(lists);
        fs::create_directories(lists);
        CopyHooks hooks;
        hooks.AtStep = [&](CopyStep step, const std::string&) {
            if (step == CopyStep::GatePassed)
                c.Swap();
        };
        SetCopyHooks(&hooks);
        dialogs.answers.push_back(UserDialogs::Answer::Yes);
        dialogs.paths.push_back(QString::fromStdString((lists / "list.m3u8").string()));
        form->ActionFileSavePlaylist->trigger();
        SetCopyHooks(nullptr);
        EXPECT_EQ(dialogs.messages.back().text.toStdString(), "The playlist would be written onto the player.") << c.What;
        EXPECT_TRUE(ReadText(QString::fromStdString((itunes / "iTunesDB").string())) == database) << c.What;
        EXPECT_EQ(entries(), before) << c.What;
    }
    fs::remove(lists);
}
