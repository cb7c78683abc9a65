#include "MainFormFixture.h"

#include "CoverView.h"
#include "TrackListColumns.h"

#include <QAction>
#include <QHeaderView>
#include <QHelpEvent>
#include <QMenu>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

namespace {

using namespace itdbwriter;

class ViewTest : public DemoPlayerFixture {
protected:
    void SelectTrack(int id)
    {
        const auto& rows = form->TrackListItems->Tracks();
        for (std::size_t row = 0; row < rows.size(); ++row) {
            if (rows[row]->GetTrackId() == id)
                form->TrackList->setCurrentIndex(form->TrackListItems->index(static_cast<int>(row), 0));
        }
    }
    QAction* ColumnItem(const QString& caption) const
    {
        for (QAction* item : form->MenuHeaderColumns->actions()) {
            if (item->text() == caption)
                return item;
        }
        return nullptr;
    }
};

// The cover pane shows the current track's cover from the player's artwork database, nothing
// for a track without one; View > Cover hides it, and the choice is kept.
TEST_F(ViewTest, TheCoverPaneShowsTheCurrentTracksCover)
{
    EXPECT_TRUE(form->ActionViewCover->isChecked());
    SelectTrack(kDemoCoverTrack);
    const QImage cover = form->CoverPane->Image();
    ASSERT_EQ(cover.size(), QSize(320, 320));
    // Sky above, sea below: the picture stands the right way up.
    EXPECT_GT(qRed(cover.pixel(10, 150)), qBlue(cover.pixel(10, 150)));
    EXPECT_GT(qBlue(cover.pixel(10, 300)), qRed(cover.pixel(10, 300)));
    SelectTrack(101);
    EXPECT_TRUE(form->CoverPane->Image().isNull());

    form->ActionViewCover->trigger();
    EXPECT_TRUE(form->CoverPane->isHidden());
    EXPECT_FALSE(form->ActionViewCover->isChecked());
    SelectTrack(kDemoCoverTrack);
    EXPECT_TRUE(form->CoverPane->Image().isNull()) << "no cover read for a hidden pane";
    form.reset();
    form = std::make_unique<TMainForm>();
    EXPECT_TRUE(form->CoverPane->isHidden());
    EXPECT_FALSE(form->ActionViewCover->isChecked());
    form->ActionViewCover->trigger();
    form.reset();
    EXPECT_FALSE(QSettings(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel").contains("ShowCover"));
}

// The extra columns come from the header's menu, are kept in the settings, and sort with the
// same alternation as the nine.
TEST_F(ViewTest, ExtraColumnsShowFromTheHeaderMenuAndSort)
{
    std::vector<TrackSpec> tracks = Tracks(4);
    const std::uint8_t ratings[] = {60, 100, 0, 20};
    for (std::size_t i = 0; i < tracks.size(); ++i)
        tracks[i].Rating = ratings[i];
    OpenFile(Write(tracks, {Playlist(u"iPod", true, {1, 2, 3, 4})}));
    QHeaderView* header = form->TrackList->header();
    ASSERT_NE(ColumnItem("Rating"), nullptr);
    EXPECT_EQ(form->MenuHeaderColumns->actions().size(), 9);
    ColumnItem("Rating")->trigger();
    ColumnItem("Genre")->trigger();
    EXPECT_FALSE(header->isSectionHidden(ColRating));
    EXPECT_GT(header->sectionSize(ColRating), 0);

    header->sectionClicked(ColRating);
    EXPECT_EQ(Rows(), (std::vector<int>{3, 4, 1, 2}));
    header->sectionClicked(ColRating);
    EXPECT_EQ(Rows(), (std::vector<int>{2, 1, 4, 3}));
    EXPECT_EQ(header->sortIndicatorSection(), ColRating);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    header->sectionClicked(ColRating);
    EXPECT_EQ(Rows(), (std::vector<int>{3, 4, 1, 2}));

    ColumnItem("Genre")->trigger();
    form.reset();
    form = std::make_unique<TMainForm>();
    header = form->TrackList->header();
    for (int column = TrackColumnCount; column < TrackListColumnCount; ++column)
        EXPECT_EQ(header->isSectionHidden(column), column != ColRating) << column;
}

// The arrow is drawn above the sorted column's caption, and only there.
TEST_F(ViewTest, TheSortArrowIsDrawnInTheSortedColumnsHeader)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QHeaderView* header = form->TrackList->header();
    const auto arrowPixels = [&](int column) {
        const QImage image = header->viewport()->grab().toImage();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        int dark = 0;
        for (int dx = -4; dx <= 4; ++dx) {
            for (int y = 0; y < 7; ++y)
                dark += qGray(image.pixel(x + dx, y)) < 160 ? 1 : 0;
        }
        return dark;
    };
    EXPECT_EQ(arrowPixels(ColTitle), 0);
    form->ActionSortTitle->trigger();
    EXPECT_GT(arrowPixels(ColTitle), 4);
    EXPECT_EQ(arrowPixels(ColArtist), 0);
}

// A cell cut short by its column's width shows its whole text as a tooltip; a whole one none.
TEST_F(ViewTest, ACutCellShowsItsWholeTextAsATooltip)
{
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QHeaderView* header = form->TrackList->header();
    header->resizeSection(ColEncoding, 40);
    const auto tipAt = [&](int row, int column) {
        const QModelIndex index = form->TrackListItems->index(row, column);
        const QPoint at = form->TrackList->visualRect(index).center();
        QHelpEvent event(QEvent::ToolTip, at, form->TrackList->viewport()->mapToGlobal(at));
        QApplication::sendEvent(form->TrackList->viewport(), &event);
        const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
        QToolTip::hideText();
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        return tip;
    };
    EXPECT_EQ(tipAt(0, ColEncoding), "MPEG audio file");
    EXPECT_EQ(tipAt(0, ColTrackNumber), "");
    header->resizeSection(ColEncoding, 200);
    EXPECT_EQ(tipAt(0, ColEncoding), "");
}

} // namespace
