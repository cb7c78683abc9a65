#include "MainFormFixture.h"

#include "DemoPlayer.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTest>
#include <QTreeView>

#include <algorithm>
#include <numeric>

namespace {

class FilterTest : public DemoPlayerFixture {
protected:
    void Type(const QString& text) { form->TrackFilter->setText(text); }
    std::vector<int> SortedRows() const
    {
        std::vector<int> ids = Rows();
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    void SelectIds(std::initializer_list<int> ids)
    {
        const auto rows = Rows();
        for (const int id : ids) {
            const int row = int(std::find(rows.begin(), rows.end(), id) - rows.begin());
            selection().select(form->TrackListItems->index(row, 0),
                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    std::vector<int> SelectedIds() const
    {
        std::vector<int> ids;
        for (const QModelIndex& index : selection().selectedRows())
            ids.push_back(form->TrackListItems->TrackAt(index.row())->GetTrackId());
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    QItemSelectionModel& selection() const { return *form->TrackList->selectionModel(); }
    void ShowPlaylistRow(int row) { form->LstPlaylists->setCurrentItem(form->LstPlaylists->topLevelItem(row)); }
};

TEST_F(FilterTest, EveryWordMatchesTitleArtistOrAlbumWithoutCaseOrAccents)
{
    EXPECT_EQ(form->TrackFilter->placeholderText(), "Filter by title, artist or album");
    EXPECT_TRUE(form->TrackFilter->isClearButtonEnabled());
    EXPECT_FALSE(form->LblFilterCount->isVisibleTo(form.get()));
    struct Case {
        const char* Typed;
        std::vector<int> Ids;
        const char* Count;
    };
    const QString status = Status();
    const std::vector<int> all{101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115, 116};
    const Case cases[] = {
        {"bjork joga", {101}, "1 of 16"},
        {"BJÖRK", {101}, "1 of 16"},
        {"elis", {108, 109}, "2 of 16"},             // "Für Elise", "Elis & Tom"
        {"петр чайковский", {104, 105}, "2 of 16"}, // "Пётр"
        {"drive highway live", {111, 116}, "2 of 16"}, // artist, title or album, word by word
        {"ca plane", {113}, "1 of 16"},
        {"zzz", {}, "0 of 16"},
        {"  ", all, "16 of 16"},
        {"", all, nullptr},
    };
    for (const Case& c : cases) {
        Type(QString::fromUtf8(c.Typed));
        EXPECT_EQ(SortedRows(), c.Ids) << c.Typed;
        EXPECT_EQ(form->LblFilterCount->isVisibleTo(form.get()), c.Count != nullptr) << c.Typed;
        if (c.Count) {
            EXPECT_EQ(form->LblFilterCount->text(), c.Count) << c.Typed;
        }
    }
    // The status line keeps its own texts.
    EXPECT_EQ(Status(), status);
}

TEST_F(FilterTest, KeptAcrossPlaylistsAndSortsAndClearedByClose)
{
    Type("drive");
    EXPECT_EQ(SortedRows(), (std::vector<int>{110, 111, 112, 115, 116}));
    ShowPlaylistRow(3); // Road Trip: 110, 112, 111, 114, 113
    EXPECT_EQ(form->TrackFilter->text(), "drive");
    EXPECT_EQ(Rows(), (std::vector<int>{110, 112, 111}));
    EXPECT_EQ(form->LblFilterCount->text(), "3 of 5");

    // The hidden rows are sorted too: clearing shows the playlist in the order last chosen.
    form->ActionSortTitle->trigger();
    EXPECT_EQ(Rows(), (std::vector<int>{112, 110, 111}));
    SelectIds({110, 112});
    Type("drive night");
    EXPECT_EQ(Rows(), (std::vector<int>{112}));
    EXPECT_EQ(SelectedIds(), (std::vector<int>{112}));
    Type("");
    const std::vector<int> filtered = Rows();
    EXPECT_EQ(SelectedIds(), (std::vector<int>{112})) << "a row hidden meanwhile came back selected";
    form->ShowPlaylist(form->Database->GetPlaylist(3));
    form->ActionSortTitle->trigger();
    EXPECT_EQ(filtered, Rows());

    // The commands act on the rows shown.
    Type("road");
    form->ActionEditAll->trigger();
    EXPECT_EQ(SelectedIds(), (std::vector<int>{110, 111}));
    // Export writes the rows shown: the header and two rows.
    const QString exported = Folder.filePath("road.csv");
    dialogs.paths.push_back(exported);
    form->ActionFileExport->trigger();
    QFile file(exported);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll().mid(2); // after the byte order mark
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    EXPECT_EQ(text.count('\n'), 3) << text.toStdString();
    EXPECT_TRUE(text.contains("road song") && text.contains("Road Song") && !text.contains("Night Drive"));
    Type("");
    form->ActionEditInvert->trigger();
    EXPECT_EQ(SelectedIds(), (std::vector<int>{112, 113, 114}));

    Type("drive");
    form->ActionFileClose->trigger();
    EXPECT_EQ(form->TrackFilter->text(), "");
    EXPECT_FALSE(form->LblFilterCount->isVisibleTo(form.get()));
    EXPECT_EQ(form->TrackListItems->rowCount(), 0);
}

TEST_F(FilterTest, KeysMoveBetweenTheFieldAndTheList)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->TrackList->setFocus();
    QTest::keyClick(form->TrackList, Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(form->TrackFilter->hasFocus());

    // The field's own keys win while it has the focus.
    QTest::keyClicks(form->TrackFilter, "road");
    QTest::keyClick(form->TrackFilter, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(form->TrackFilter->selectedText(), "road");
    EXPECT_FALSE(selection().hasSelection());

    // Return or Down goes to the list with the first row shown selected, whatever was before.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Down}) {
        form->TrackFilter->setFocus();
        selection().select(form->TrackListItems->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::keyClick(form->TrackFilter, key);
        EXPECT_TRUE(form->TrackList->hasFocus()) << key;
        EXPECT_EQ(form->TrackFilter->text(), "road");
        EXPECT_EQ(form->TrackListItems->rowCount(), 2);
        EXPECT_EQ(selection().currentIndex().row(), 0) << key;
        EXPECT_EQ(SelectedIds(), std::vector<int>{Rows().front()}) << key;
    }
    // A second Down moves on to the second row.
    QTest::keyClick(form->TrackList, Qt::Key_Down);
    EXPECT_EQ(SelectedIds(), std::vector<int>{Rows().back()});
    // Once the list has the focus, the row commands have their shortcuts.
    QTest::keyClick(form->TrackList, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(SelectedIds(), (std::vector<int>{110, 111}));

    form->TrackFilter->setFocus();
    QTest::keyClick(form->TrackFilter, Qt::Key_Escape);
    EXPECT_TRUE(form->TrackList->hasFocus());
    EXPECT_EQ(form->TrackFilter->text(), "");
    EXPECT_EQ(form->TrackListItems->rowCount(), kDemoTrackCount);
    EXPECT_EQ(SelectedIds(), (std::vector<int>{110, 111}));
}

// Takes the keys a text field keeps for editing under X11 (Ctrl+E end of line, Ctrl+D delete,
// Ctrl+K delete to the end), as the field does there whatever platform the tests run on.
class X11EditingKeys : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::ControlModifier
                && (key->key() == Qt::Key_E || key->key() == Qt::Key_D || key->key() == Qt::Key_K)) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

TEST_F(FilterTest, CommandKeysRunTheirCommandsInTheFieldButSelectAll)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // The window's own filter stays the first to see the field's events.
    X11EditingKeys x11;
    form->TrackFilter->installEventFilter(&x11);
    form->TrackFilter->removeEventFilter(form.get());
    form->TrackFilter->installEventFilter(form.get());
    EXPECT_TRUE(form->TrackFilter->toolTip().contains("Ctrl+K"));
    EXPECT_EQ(form->ActionViewFilter->text(), "&Filter Tracks");
    EXPECT_TRUE(form->MenuView->actions().contains(form->ActionViewFilter));

    // Whether the field keeps the key for itself: only Ctrl+A among the command keys, and the
    // keys of editing that belong to no command.
    const auto fieldTakes = [&](const QKeySequence& keys) {
        QKeyEvent override(QEvent::ShortcutOverride, keys[0].key(), keys[0].keyboardModifiers());
        QApplication::sendEvent(form->TrackFilter, &override);
        return override.isAccepted();
    };
    form->TrackFilter->setFocus();
    for (const QAction* action : form->actions()) {
        if (!action->shortcut().isEmpty()) {
            EXPECT_EQ(fieldTakes(action->shortcut()), action == form->ActionEditAll) << action->objectName().toStdString();
        }
    }
    for (const char* editing : {"Ctrl+C", "Ctrl+V", "Ctrl+Z", "Left", "Home"})
        EXPECT_TRUE(fieldTakes(QKeySequence(editing))) << editing;

    // Pressed for real: Ctrl+D clears the selection, Ctrl+E exports, Ctrl+K selects the typed text.
    QTest::keyClicks(form->TrackFilter, "road");
    SelectIds({110});
    form->TrackFilter->setFocus();
    form->TrackFilter->setCursorPosition(1);
    QTest::keyClick(form->TrackFilter, Qt::Key_D, Qt::ControlModifier);
    EXPECT_FALSE(selection().hasSelection());
    EXPECT_EQ(form->TrackFilter->text(), "road");
    dialogs.paths.push_back(QString());
    QTest::keyClick(form->TrackFilter, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(dialogs.dialogCaptions.last(), "Export Track List");
    QTest::keyClick(form->TrackFilter, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(form->TrackFilter->selectedText(), "road");
    EXPECT_TRUE(form->TrackFilter->hasFocus());
}

TEST_F(MainFormFixture, TheCountGroupsDigitsByTheUsersLocale)
{
    OpenFile(Write(Tracks(1200), {itdbwriter::Playlist(u"iPod", true, [] {
                                      std::vector<std::int32_t> ids(1200);
                                      std::iota(ids.begin(), ids.end(), 1);
                                      return ids;
                                  }())}));
    for (const auto& [locale, count] : {std::pair{"en_US", "312 of 1,200"}, std::pair{"de_DE", "312 of 1.200"}}) {
        QLocale::setDefault(QLocale(locale));
        form->TrackFilter->setText("t1"); // T1, T10 to T19, T100 to T199, T1000 to T1200
        EXPECT_EQ(form->LblFilterCount->text(), count);
        form->TrackFilter->clear();
    }
    QLocale::setDefault(QLocale::system());
}

} // namespace
