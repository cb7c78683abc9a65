#include "MainFormFixture.h"

#include "DemoPlayer.h"
#include "TrackSortKeys.h"

#include <QAction>
#include <QCollator>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QTreeView>

#include <functional>

namespace {

// The demo player (see DemoPlayerFixture) holds titles that
// differ only in letter case (110, 111), lengths of 61.2 and 61.9 seconds (107, 108) and bit
// rates of 96 and 128 and more.
class OrderTest : public DemoPlayerFixture {
protected:
    // True when the rows are ordered by `less` (ascending) or its reverse.
    bool OrderedBy(const std::function<int(const OneTrack&, const OneTrack&)>& compare, bool ascending) const
    {
        const auto& rows = form->TrackListItems->Tracks();
        for (std::size_t i = 1; i < rows.size(); ++i) {
            const int c = compare(*rows[i - 1], *rows[i]);
            if (ascending ? c > 0 : c < 0)
                return false;
        }
        return true;
    }
    static int ByTitle(const OneTrack& a, const OneTrack& b)
    {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        return collator.compare(QString::fromStdU16String(std::u16string(a.GetTitle())),
                                QString::fromStdU16String(std::u16string(b.GetTitle())));
    }
    static int ByArtist(const OneTrack& a, const OneTrack& b)
    {
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        return collator.compare(QString::fromStdU16String(std::u16string(a.GetArtist())),
                                QString::fromStdU16String(std::u16string(b.GetArtist())));
    }
    // Positions of two tracks in the rows.
    std::pair<int, int> Positions(int first, int second) const
    {
        const auto rows = Rows();
        const auto at = [&](int id) { return int(std::find(rows.begin(), rows.end(), id) - rows.begin()); };
        return {at(first), at(second)};
    }
};

TEST_F(OrderTest, DirectionAlternatesPerColumnAndResetsOnRebuild)
{
    struct Step {
        std::function<void()> sort;
        bool titleAscending; // when the rows end up ordered by title
        int last;            // LastSortColumn afterwards
    };
    const auto title = [this] { form->ActionSortTitle->trigger(); };
    const auto header = [this] { form->TrackList->header()->sectionClicked(ColTitle); };
    const auto artist = [this] { form->ActionSortArtist->trigger(); };
    const std::vector<std::vector<Step>> sequences = {
        {{title, true, ColTitle}, {title, false, -1}, {title, true, ColTitle}},
        {{title, true, ColTitle}, {artist, true, ColArtist}, {title, true, ColTitle}},
        {{header, true, ColTitle}, {title, false, -1}},
    };
    for (const auto& steps : sequences) {
        form->ShowPlaylist(form->Database->GetPlaylist(0)); // a rebuild starts afresh
        EXPECT_EQ(form->LastSortColumn, -1);
        EXPECT_EQ(form->TrackList->header()->sortIndicatorSection(), -1); // the playlist's order: no arrow
        for (const Step& step : steps) {
            step.sort();
            EXPECT_EQ(form->LastSortColumn, step.last);
            if (step.last == ColArtist)
                EXPECT_TRUE(OrderedBy(ByArtist, true));
            else
                EXPECT_TRUE(OrderedBy(ByTitle, step.titleAscending)) << step.titleAscending;
            // The arrow shows the order the rows are in, descending too once LastSortColumn is -1.
            const QHeaderView* arrow = form->TrackList->header();
            EXPECT_EQ(arrow->sortIndicatorSection(), step.last == ColArtist ? ColArtist : ColTitle);
            EXPECT_EQ(arrow->sortIndicatorOrder(),
                      step.last == ColArtist || step.titleAscending ? Qt::AscendingOrder : Qt::DescendingOrder);
        }
        // Filtering rebuilds the shown rows, in the same order: the arrow stays.
        form->TrackFilter->setText("o");
        form->TrackFilter->clear();
        EXPECT_NE(form->TrackList->header()->sortIndicatorSection(), -1);
    }
}

TEST_F(OrderTest, CompareTracksGivesTheSignOfEachColumnsOrder)
{
    const struct {
        int column;
        int a, b;
        int sign;
    } cases[] = {
        {ColTrackNumber, 101, 103, 1},  {ColTrackNumber, 103, 106, 0},
        {ColTitle, 109, 101, -1},       {ColTitle, 110, 111, 0},   // "Águas" before "Jóga"; letter case only
        {ColArtist, 104, 107, 1},       {ColAlbum, 110, 112, 0},   // Cyrillic after Latin
        {ColLength, 112, 101, 1},       {ColLength, 107, 108, 0},  // 61.2 and 61.9 s: whole seconds
        {ColTrackType, 101, 115, -1},   {ColEncoding, 101, 102, 1}, // "Audio", "Video"; "MPEG ..." after "AAC ..."
        {ColBitRate, 115, 101, 1},      {ColSampleRate, 101, 104, -1}, // 1200 after 192 kBps
    };
    const auto sign = [](int value) { return (value > 0) - (value < 0); };
    const auto compare = [&](int a, int b, int column) {
        return sign(form->CompareTracks(form->Database->FindTrack(a), form->Database->FindTrack(b), column));
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compare(c.a, c.b, c.column), c.sign) << c.column << ": " << c.a << ", " << c.b;
        EXPECT_EQ(compare(c.b, c.a, c.column), -c.sign) << c.column << ": " << c.b << ", " << c.a;
    }
    // Right after an ascending sort by a column its comparison turns round, as the next sort will.
    form->ActionSortTrackNumber->trigger();
    EXPECT_EQ(compare(101, 103, ColTrackNumber), -1);
}

TEST_F(OrderTest, KeysCompareAsNumbersWholeSecondsAndCaselessText)
{
    form->ActionSortBitRate->trigger();
    EXPECT_TRUE(OrderedBy([](const OneTrack& a, const OneTrack& b) { return a.GetBitRate() - b.GetBitRate(); }, true));
    EXPECT_EQ(form->TrackListItems->TrackAt(0)->GetBitRate(), 96); // not "1200 kBps" by its text

    // Equal keys keep their previous order in both directions.
    for (const auto& [sort, first, second] : {std::tuple{form->ActionSortLength, 107, 108},
                                              std::tuple{form->ActionSortTitle, 110, 111}}) {
        for (int i = 0; i < 2; ++i) {
            form->ShowPlaylist(form->Database->GetPlaylist(0));
            sort->trigger();
            if (i == 1)
                sort->trigger();
            const auto [a, b] = Positions(first, second);
            EXPECT_EQ(b, a + 1) << sort->objectName().toStdString() << " " << i;
        }
    }
}

// 40 equal titles (more than a sort orders by insertion alone) among three that share more than
// the first eight bytes of their sort keys.
TEST_F(MainFormFixture, EqualTitlesKeepTheirOrderAndLongKeysCompareInFull)
{
    QLocale::setDefault(QLocale("en_US"));
    struct RestoreLocale {
        ~RestoreLocale() { QLocale::setDefault(QLocale::system()); }
    } restore;
    std::vector<itdbwriter::TrackSpec> tracks;
    std::vector<std::int32_t> same;
    for (int i = 0; i < 40; ++i) {
        const int id = 1 + (i * 17) % 40; // a playlist order that is not the order of the ids
        tracks.push_back(itdbwriter::Track(id, u"Same"));
        same.push_back(id);
    }
    tracks.push_back(itdbwriter::Track(41, u"Symphony Number 2"));
    tracks.push_back(itdbwriter::Track(42, u"symphony number 1"));
    tracks.push_back(itdbwriter::Track(43, u"Symphony Number 3"));
    std::vector<std::int32_t> order = {41, 42, 43};
    order.insert(order.begin() + 1, same.begin(), same.end());
    OpenFile(Write(tracks, {itdbwriter::Playlist(u"iPod", true, order)}));
    ASSERT_EQ(form->TrackListItems->rowCount(), 43);

    std::vector<int> ascending(same.begin(), same.end());
    ascending.insert(ascending.end(), {42, 41, 43});
    std::vector<int> descending = {43, 41, 42};
    descending.insert(descending.end(), same.begin(), same.end());
    form->ActionSortTitle->trigger();
    EXPECT_EQ(Rows(), ascending);
    form->ActionSortTitle->trigger();
    EXPECT_EQ(Rows(), descending);
}

TEST_F(OrderTest, SelectionMovesWithItsRowsAndTheCommandsChangeOnlyIt)
{
    QItemSelectionModel* selection = form->TrackList->selectionModel();
    const auto select = [&](int row) {
        selection->select(form->TrackListItems->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    const auto selectedIds = [&] {
        std::vector<int> ids;
        for (const QModelIndex& index : selection->selectedRows())
            ids.push_back(form->TrackListItems->TrackAt(index.row())->GetTrackId());
        std::sort(ids.begin(), ids.end());
        return ids;
    };
    form->ShowPlaylist(form->Database->GetPlaylist(2)); // Классика: 104, 105, 108, 107
    select(0);
    select(2);
    selection->setCurrentIndex(form->TrackListItems->index(3, 0), QItemSelectionModel::NoUpdate);
    form->ActionSortArtist->trigger();
    form->ActionSortTitle->trigger();
    EXPECT_EQ(selectedIds(), (std::vector<int>{104, 108}));

    form->ActionEditInvert->trigger();
    EXPECT_EQ(selectedIds(), (std::vector<int>{105, 107}));
    EXPECT_EQ(selection->currentIndex().row(), Positions(107, 107).first) << "the current row moved";
    form->ActionEditAll->trigger();
    EXPECT_EQ(selection->selectedRows().size(), 4);
    form->ActionEditNone->trigger();
    EXPECT_TRUE(selection->selectedRows().isEmpty());
    EXPECT_TRUE(selection->currentIndex().isValid());

    form->ActionFileClose->trigger();
    for (QAction* command : {form->ActionEditAll, form->ActionEditInvert, form->ActionEditNone})
        command->trigger();
    EXPECT_FALSE(selection->hasSelection());
    // An empty list still counts the sort: Title was sorted ascending last.
    form->ActionSortTitle->trigger();
    EXPECT_EQ(form->LastSortColumn, -1);
}

// Sorted by Artist, the first half selected as one block, then sorted by Title: the selection is
// scattered over many ranges, as on a large player.
class ScatteredSelectionTest : public MainFormFixture {
protected:
    void SetUp() override
    {
        MainFormFixture::SetUp();
        std::vector<itdbwriter::TrackSpec> tracks;
        std::vector<std::int32_t> ids;
        for (int i = 0; i < 60; ++i) {
            const std::u16string title =
                u"Title " + std::u16string(1, char16_t(u'A' + (i * 7) % 26)) + char16_t(u'a' + i % 26);
            const std::u16string artist = u"Artist " + std::u16string(1, char16_t(u'A' + i % 10));
            // Each location names its track; no file is there, so extraction reports each one.
            std::u16string location = u":iPod_Control:Music:F00:";
            for (const char c : std::to_string(i + 1) + ".mp3")
                location += static_cast<char16_t>(c);
            tracks.push_back(itdbwriter::Track(i + 1, title, location, u"Album", artist));
            ids.push_back(i + 1);
        }
        OpenFile(Write(tracks, {itdbwriter::Playlist(u"iPod", true, ids)}));
        ASSERT_EQ(form->TrackListItems->rowCount(), 60);
        form->ActionSortArtist->trigger();
        for (int row = 0; row < 30; ++row)
            firstHalf.push_back(form->TrackListItems->TrackAt(row)->GetTrackId());
        selection().select(QItemSelection(form->TrackListItems->index(0, 0), form->TrackListItems->index(29, 0)),
                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        form->ActionSortTitle->trigger();
        std::sort(firstHalf.begin(), firstHalf.end());
    }
    QItemSelectionModel& selection() const { return *form->TrackList->selectionModel(); }

    // The selected track ids as the ranges say, after checking that the ranges are whole rows,
    // apart from each other and each as long as it can be (none could merge with the next).
    std::vector<int> RangedIds() const
    {
        std::vector<int> ids;
        int lastBottom = -2;
        for (const QItemSelectionRange& range : selection().selection()) {
            EXPECT_EQ(range.left(), 0);
            EXPECT_EQ(range.right(), form->TrackListItems->columnCount() - 1);
            EXPECT_GT(range.top(), lastBottom + 1) << "ranges overlap, are out of order or could merge";
            lastBottom = range.bottom();
            for (int row = range.top(); row <= range.bottom(); ++row)
                ids.push_back(form->TrackListItems->TrackAt(row)->GetTrackId());
        }
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    std::vector<int> firstHalf;
};

TEST_F(ScatteredSelectionTest, CommandsSelectExactlyTheRightRows)
{
    ASSERT_GT(selection().selection().size(), 5) << "the sort did not scatter the selection";
    EXPECT_EQ(RangedIds(), firstHalf) << "the selection did not move with its rows";

    form->ActionEditInvert->trigger();
    std::vector<int> secondHalf;
    for (int id = 1; id <= 60; ++id) {
        if (!std::binary_search(firstHalf.begin(), firstHalf.end(), id))
            secondHalf.push_back(id);
    }
    EXPECT_EQ(RangedIds(), secondHalf);
    form->ActionEditInvert->trigger();
    EXPECT_EQ(RangedIds(), firstHalf);

    // Extraction takes the selected rows in list order: each missing file is reported in turn.
    std::vector<int> listOrder;
    for (int row = 0; row < 60; ++row) {
        if (selection().isRowSelected(row, {}))
            listOrder.push_back(form->TrackListItems->TrackAt(row)->GetTrackId());
    }
    dialogs.paths.push_back(Folder.path());
    dialogs.answers.assign(listOrder.size(), UserDialogs::Answer::Yes);
    form->ActionFileExtract->trigger();
    std::vector<int> reported;
    for (const auto& message : dialogs.messages) {
        const QRegularExpressionMatch match = QRegularExpression("F00/(\\d+)\\.mp3").match(message.text);
        reported.push_back(match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    EXPECT_EQ(reported, listOrder);

    form->ActionSortTrackNumber->trigger();
    EXPECT_EQ(RangedIds(), firstHalf);
    form->ActionEditAll->trigger();
    EXPECT_EQ(selection().selection().size(), 1);
    EXPECT_EQ(RangedIds().size(), 60u);
    form->ActionEditInvert->trigger();
    EXPECT_FALSE(selection().hasSelection());
}

TEST(CollatorNameTest, KeepsTheScriptAndTheRootOrderForC)
{
    const std::pair<QLocale, const char*> cases[] = {
        {QLocale(QLocale::Serbian, QLocale::LatinScript, QLocale::Serbia), "sr_Latn"},
        {QLocale(QLocale::Serbian, QLocale::CyrillicScript, QLocale::Serbia), "sr"},
        {QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan), "zh_TW"},
        {QLocale("de_DE"), "de"},
        {QLocale::c(), ""},
    };
    for (const auto& [locale, name] : cases)
        EXPECT_EQ(CollatorName(locale), name) << locale.name().toStdString();
}

// Serbian in Latin letters sorts "ć" as a letter of its own after "c"; the Cyrillic tailoring,
// which the name without its script would open, sorts it as an accented "c".
TEST_F(MainFormFixture, TheListSortsByTheCollationOfTheLocalesScript)
{
    QLocale::setDefault(QLocale(QLocale::Serbian, QLocale::LatinScript, QLocale::Serbia));
    Restart(-1);
    OpenFile(Write({itdbwriter::Track(1, u"ćuk"), itdbwriter::Track(2, u"cvet"), itdbwriter::Track(3, u"dan")},
                   {itdbwriter::Playlist(u"iPod", true, {1, 2, 3})}));
    form->ActionSortTitle->trigger();
    EXPECT_EQ(Rows(), (std::vector<int>{2, 1, 3}));
    QLocale::setDefault(QLocale::system());
}

} // namespace
