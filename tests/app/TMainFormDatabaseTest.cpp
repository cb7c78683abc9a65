#include "MainFormFixture.h"

#include "DemoPlayer.h"
#include "PlayerPaths.h"
#include "TSelectIPodForm.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <filesystem>

using itdbwriter::Playlist;

namespace {

using DatabaseTest = MainFormFixture;

// Answers the drive dialog once it is up: OK on the item at `index`, or Cancel when negative.
class DriveDialogAnswer {
public:
    explicit DriveDialogAnswer(int index)
    {
        QObject::connect(&Timer, &QTimer::timeout, [this, index] {
            auto* dialog = qobject_cast<TSelectIPodForm*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            Timer.stop();
            if (index < 0) {
                dialog->BtnCancelClick();
                return;
            }
            dialog->CbDrive->setCurrentIndex(index);
            dialog->BtnOKClick();
        });
        Timer.start(5);
    }

private:
    QTimer Timer;
};

TEST_F(DatabaseTest, MasterPlaylistChoosesTheRowShownFirst)
{
    struct Case {
        const char* what;
        std::vector<itdbwriter::PlaylistSpec> playlists;
        int selected;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {"master not first", {Playlist(u"Mix", false, {2}), Playlist(u"Library", true, {3, 1, 2})}, 1, {3, 1, 2}},
        {"no master", {Playlist(u"First", false, {2, 3}), Playlist(u"Second", false, {1})}, 0, {2, 3}},
        {"two masters", {Playlist(u"A", true, {1}), Playlist(u"B", true, {3, 2}), Playlist(u"C", false, {})}, 1, {3, 2}},
    };
    for (const Case& c : cases) {
        OpenFile(Write(Tracks(3), c.playlists));
        EXPECT_EQ(SelectedPlaylist(), c.selected) << c.what;
        EXPECT_EQ(Rows(), c.rows) << c.what;
        EXPECT_EQ(Status(), "Loaded total 3 song(s)") << c.what;
        EXPECT_EQ(form->LastSortColumn, -1) << c.what;
    }
    EXPECT_EQ(Playlists(), QStringList({"A", "B", "C"}));

    // Another row rebuilds the list in item order; the row already selected rebuilds nothing.
    form->SortTrackList(ColTitle);
    form->LstPlaylists->setCurrentItem(form->LstPlaylists->topLevelItem(0));
    EXPECT_EQ(Rows(), std::vector<int>{1});
    EXPECT_EQ(form->LastSortColumn, -1);
    QSignalSpy resets(form->TrackListItems, &QAbstractItemModel::modelReset);
    form->LstPlaylists->setCurrentItem(form->LstPlaylists->topLevelItem(0));
    form->LstPlaylists->clearSelection();
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(Rows(), std::vector<int>{1});
    EXPECT_EQ(dialogs.messages.size(), 0u);
}

TEST_F(DatabaseTest, TracksWithoutPlaylistsReportDifferentlyPerOpenCommand)
{
    const std::string path = Write(Tracks(4), {});
    OpenFile(path);
    EXPECT_EQ(Status(), "Varnel Ready");
    EXPECT_TRUE(Playlists().isEmpty());
    EXPECT_NE(form->Database, nullptr);

    // The drive dialog hands back whatever database it finds on the volume.
    const std::string root = Folder.filePath("player").toStdString();
    std::filesystem::create_directories(root + "/iPod_Control/iTunes");
    std::filesystem::copy_file(path, root + "/iPod_Control/iTunes/iTunesDB");
    volumes.volumes = {{root, "PLAYER"}};
    const DriveDialogAnswer answer(0);
    form->ActionFileOpen->trigger();
    EXPECT_EQ(Status(), "Loaded total 4 song(s)");
    EXPECT_EQ(form->IPodDrive, root);
    EXPECT_EQ(form->TrackListItems->rowCount(), 0);
}

TEST_F(DatabaseTest, TrackLimitDuplicateAndMissingIds)
{
    Restart(5);
    std::vector<std::int32_t> items;
    for (int id = 1; id <= 100; ++id)
        items.push_back(id);
    items.insert(items.begin() + 1, 3);   // listed twice
    items.insert(items.begin() + 2, 999); // no such track
    QSignalSpy progress(form->ProgressBar, &QProgressBar::valueChanged);
    OpenFile(Write(Tracks(100), {Playlist(u"Library", true, items)}));
    EXPECT_EQ(Status(), "Loaded total 5 song(s)");
    EXPECT_EQ(Rows(), (std::vector<int>{1, 3, 2, 3, 4, 5}));
    // The bar runs over every item, found or not, and moves only when its percentage does.
    QList<int> values;
    for (const auto& args : progress)
        values << args.at(0).toInt();
    EXPECT_TRUE(values.contains(100));
    EXPECT_LE(values.size(), 110);
    EXPECT_FALSE(form->ProgressBar->isVisibleTo(form.get()));
}

TEST_F(DatabaseTest, ErrorAndEmptyMessagesLeaveNothingOpen)
{
    const std::string good = Write(Tracks(2), {Playlist(u"Library", true, {1, 2})}, "good");
    const std::string foreign = Folder.filePath("foreign").toStdString();
    itdbwriter::WriteFile(foreign, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'T', 'u', 'n', 'e', 's', 'D', 'B'});
    const std::string empty = Write({}, {Playlist(u"Library", true, {})}, "empty");
    struct Case {
        std::string path;
        const char* text;
        UserDialogs::Icon icon;
    };
    const Case cases[] = {
        {foreign, "An error occurred while reading iPod database.", UserDialogs::Icon::Error},
        {Folder.filePath("missing").toStdString(), "An error occurred while reading iPod database.",
         UserDialogs::Icon::Error},
        {empty, "iPod database is empty.", UserDialogs::Icon::Warning},
    };
    for (const Case& c : cases) {
        OpenFile(good);
        dialogs.messages.clear();
        OpenFile(c.path);
        ASSERT_EQ(dialogs.messages.size(), 1u) << c.path;
        EXPECT_EQ(dialogs.messages[0].text, c.text);
        EXPECT_EQ(dialogs.messages[0].caption, "Varnel");
        EXPECT_EQ(dialogs.messages[0].icon, c.icon);
        EXPECT_TRUE(Playlists().isEmpty());
        EXPECT_EQ(form->TrackListItems->rowCount(), 0);
        EXPECT_EQ(Status(), "Varnel Ready");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    // A track limit of 0 reads no track: the same as an empty database.
    Restart(0);
    OpenFile(good);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages.back().text, "iPod database is empty.");
}

TEST_F(DatabaseTest, CancelledOpensKeepTheOpenDatabase)
{
    OpenFile(Write(Tracks(3), {Playlist(u"Library", true, {1, 2, 3}), Playlist(u"Mix", false, {3})}));
    form->LstPlaylists->setCurrentItem(form->LstPlaylists->topLevelItem(1));
    form->SetStatusText("before");

    dialogs.paths.push_back(QString());
    form->ActionFileOpenFile->trigger();
    EXPECT_EQ(Status(), "before");

    const DriveDialogAnswer answer(-1);
    form->ActionFileOpen->trigger();
    EXPECT_EQ(Status(), "Varnel Ready");
    EXPECT_EQ(SelectedPlaylist(), 1);
    EXPECT_EQ(Rows(), std::vector<int>{3});
    EXPECT_TRUE(form->findChildren<TSelectIPodForm*>().isEmpty());
}

TEST_F(DatabaseTest, CloseTwiceLeavesNothingOpen)
{
    OpenFile(Write(Tracks(2), {Playlist(u"Library", true, {1, 2})}));
    for (int i = 0; i < 2; ++i) {
        form->ActionFileClose->trigger();
        EXPECT_TRUE(Playlists().isEmpty());
        EXPECT_EQ(form->TrackListItems->rowCount(), 0);
        EXPECT_EQ(form->Database, nullptr);
        EXPECT_TRUE(form->IPodDrive.empty());
        EXPECT_EQ(Status(), "Varnel Ready");
    }
}

TEST_F(DatabaseTest, DemoPlayerOpensFromTheDriveDialog)
{
    const std::string root = Folder.filePath("demo").toStdString();
    std::string error;
    ASSERT_TRUE(WriteDemoPlayer(root, error)) << error;
    volumes.volumes = {{"/media/nothing-here", ""}, {root, "DEMO"}};
    const DriveDialogAnswer answer(1); // after "(/media/..."
    form->ActionFileOpen->trigger();
    EXPECT_EQ(Status(), QString("Loaded total %1 song(s)").arg(kDemoTrackCount));
    EXPECT_EQ(form->IPodDrive, root);
    EXPECT_EQ(Playlists().size(), kDemoPlaylistCount);
    EXPECT_EQ(form->TrackListItems->rowCount(), kDemoTrackCount);
    // Every track's media file is where the database says.
    for (const OneTrack* track : form->TrackListItems->Tracks())
        EXPECT_TRUE(FindPathNoCase(root, track->GetLocation())) << track->GetLocation();
}

TEST_F(DatabaseTest, NewerNanosOpenTheirCompressedDatabase)
{
    // The player keeps an empty iTunesDB beside the compressed iTunesCDB.
    const QString itunes = Folder.filePath("nano/IPOD_CONTROL/iTunes");
    ASSERT_TRUE(QDir().mkpath(itunes));
    itdbwriter::Database database;
    database.AddTracks(Tracks(3));
    database.AddPlaylists({Playlist(u"Library", true, {3, 1, 2})});
    ASSERT_TRUE(itdbwriter::WriteFile((itunes + "/iTunesCDB").toStdString(), itdbwriter::Compressed(database.Build())));
    ASSERT_TRUE(itdbwriter::WriteFile((itunes + "/iTunesDB").toStdString(), {}));
    volumes.volumes = {{Folder.filePath("nano").toStdString(), "NANO"}};
    const DriveDialogAnswer answer(0);
    form->ActionFileOpen->trigger();
    EXPECT_EQ(Status(), "Loaded total 3 song(s)");
    EXPECT_EQ(form->IPodDrive, Folder.filePath("nano").toStdString());
    ASSERT_EQ(form->TrackListItems->rowCount(), 3);
    EXPECT_EQ(form->TrackListItems->TrackAt(0)->GetTrackId(), 3);

    // The real nano 5G database holds no tracks: the empty message, not the error.
    const std::filesystem::path nano = std::filesystem::path(VARNEL_CORPUS_DIR) / "itunes-nano5g-empty.itcdb";
    if (std::filesystem::exists(nano)) {
        dialogs.messages.clear();
        OpenFile(nano.string());
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].text, "iPod database is empty.");
    }
}

TEST_F(DatabaseTest, OpenAndCloseAreRefusedWhileALoadRuns)
{
    std::vector<std::int32_t> items;
    for (int id = 1; id <= 300; ++id)
        items.push_back(id);
    const std::string path = Write(Tracks(300), {Playlist(u"Library", true, items), Playlist(u"Mix", false, {7})});
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    // What the user does while the bar is half way.
    bool closeToo = false;
    bool acted = false;
    bool closed = true;
    QObject::connect(form->ProgressBar, &QProgressBar::valueChanged, form.get(), [&](int value) {
        if (value != 50 || acted)
            return;
        acted = true;
        dialogs.paths.push_back("/elsewhere/iTunesDB");
        form->ActionFileOpenFile->trigger();
        form->ActionFileOpen->trigger();
        form->ActionFileClose->trigger();
        form->LstPlaylists->setCurrentItem(form->LstPlaylists->topLevelItem(1));
        if (closeToo)
            closed = form->close();
    });
    OpenFile(path);
    ASSERT_TRUE(acted);
    EXPECT_EQ(dialogs.paths.size(), 1u) << "Open File asked for a file during the load";
    EXPECT_TRUE(form->findChildren<TSelectIPodForm*>().isEmpty());
    EXPECT_EQ(form->TrackListItems->rowCount(), 300);
    EXPECT_EQ(Status(), "Loaded total 300 song(s)");
    // Once idle, the playlist chosen meanwhile is shown.
    EXPECT_TRUE(QTest::qWaitFor([&] { return Rows() == std::vector<int>{7}; }, 2000));

    // Closing the window waits for the load, then closes what was loaded.
    dialogs.paths.clear();
    closeToo = true;
    acted = false;
    OpenFile(path);
    ASSERT_TRUE(acted);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000));
    EXPECT_EQ(form->Database, nullptr);
}

} // namespace

TEST_F(DatabaseTest, ColumnsShowTheirHeadersAndLongestValuesWhole)
{
    // The longest texts of the columns that do not elide: ten hours, the widest types, encodings,
    // rates and numbers.
    const std::int32_t types[] = {96, 6, 8};
    const std::u16string_view encodings[] = {u"MPEG audio file", u"MPEG-4 video file", u"AAC audio file"};
    std::vector<itdbwriter::TrackSpec> tracks;
    for (std::size_t i = 0; i < 3; ++i) {
        tracks.push_back(itdbwriter::Track(static_cast<std::int32_t>(i + 1), u"T", u":iPod_Control:Music:F00:A.mp3",
                                           u"Album", u"Artist", encodings[i]));
        tracks[i].LengthMs = 36000000;
        tracks[i].TrackNumber = 999;
        tracks[i].BitRate = 1411;
        tracks[i].SampleRate = 48000;
        tracks[i].MediaType = types[i];
    }
    OpenFile(Write(tracks, {Playlist(u"iPod", true, {1, 2, 3})}));
    ASSERT_EQ(form->TrackListItems->rowCount(), 3);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    EXPECT_EQ(form->TrackList->font().family(), "Arial");
    EXPECT_EQ(form->TrackList->font().pixelSize(), 11);
    EXPECT_EQ(form->TrackListItems->data(form->TrackListItems->index(0, 4)).toString(), "10:00:00");
    const QHeaderView* header = form->TrackList->header();
    for (int column = 0; column < TrackColumnCount; ++column) {
        const QString caption = form->TrackListItems->headerData(column, Qt::Horizontal).toString();
        EXPECT_LE(header->sectionSizeHint(column), header->sectionSize(column)) << caption.toStdString();
        // Title, artist and album may shorten long texts.
        if (column < 1 || column > 3) {
            EXPECT_LE(static_cast<const QAbstractItemView*>(form->TrackList)->sizeHintForColumn(column), header->sectionSize(column)) << caption.toStdString();
        }
    }
}
