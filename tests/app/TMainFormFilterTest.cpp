#include "MainFormFixture.h"

#include "DemoPlayer.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>
#include <QTreeView>

#include <algorithm>

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

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Down}) {
        form->TrackFilter->setFocus();
        QTest::keyClick(form->TrackFilter, key);
        EXPECT_TRUE(form->TrackList->hasFocus()) << key;
        EXPECT_EQ(form->TrackFilter->text(), "road");
        EXPECT_EQ(form->TrackListItems->rowCount(), 2);
    }
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

} // namespace
