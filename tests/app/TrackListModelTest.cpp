#include "TrackListModel.h"

#include "OneTrack.h"
#include "TrackListColumns.h"
#include "TrackRowTexts.h"

#include <QAbstractItemModelTester>
#include <QDateTime>
#include <QLocale>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#include <vector>

namespace {

OneTrack MakeTrack(std::u16string title, std::int32_t number)
{
    OneTrack track;
    track.SetTitle(std::move(title));
    track.SetArtist(u"Артист");
    track.SetAlbum(u"Album & Co");
    track.SetLength(215000);
    track.SetBitRate(192);
    track.SetSampleRate(44100 << 16);
    track.SetTrackNumber(number);
    track.SetMediaType(1);
    track.SetEncoding("MPEG audio file");
    return track;
}

TEST(TrackListModel, ShowsTheCellTextsAndCaptionsOfEveryColumn)
{
    const OneTrack first = MakeTrack(u"Ünïcode title", 3);
    const OneTrack second = MakeTrack(u"Second", 12);
    TrackListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.Reset({&first, &second});

    const QStringList captions{"Track #", "Title", "Artist", "Album", "Length", "Track Type", "Encoding",
                               "Bit Rate", "Sample Rate"};
    const QStringList firstRow{"3", "Ünïcode title", "Артист", "Album & Co", "3:35", "Audio", "MPEG audio file",
                               "192 kBps", "44100 Hz"};
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), TrackListColumnCount);
    for (int column = 0; column < captions.size(); ++column) {
        EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), captions[column]);
        EXPECT_EQ(model.data(model.index(0, column)).toString(), firstRow[column]);
    }
    EXPECT_EQ(model.data(model.index(1, ColTitle)).toString(), "Second");
    EXPECT_EQ(model.data(model.index(1, ColTrackNumber)).toString(), "12");
    EXPECT_EQ(model.TrackAt(1), &second);
    EXPECT_EQ(model.TrackAt(2), nullptr);
    EXPECT_EQ(model.TrackAt(-1), nullptr);
    EXPECT_FALSE(model.data(QModelIndex()).isValid());
    EXPECT_FALSE(model.headerData(TrackListColumnCount, Qt::Horizontal).isValid());
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

// What the player keeps beyond the nine: numbers grouped as the locale groups them, the rating as
// stars (20 a star, a value between stars shows those it reaches), nothing where it keeps nothing.
TEST(TrackListModel, ExtraColumnsShowWhatThePlayerKept)
{
    QLocale::setDefault(QLocale("en_US"));
    OneTrack full = MakeTrack(u"Full", 1);
    full.SetAlbumArtist(u"Various Ärtists");
    full.SetGenre(u"Jazz");
    TrackDetails details;
    details.Year = 1999;
    details.DiscNumber = 1;
    details.DiscCount = 2;
    details.Rating = 70;
    details.PlayCount = 12345;
    details.SkipCount = 3;
    details.LastPlayed = 1700000000;
    details.DateAdded = 1600000000;
    full.SetDetails(details);
    const OneTrack bare = MakeTrack(u"Bare", 2);
    TrackListModel model;
    model.Reset({&full, &bare});
    const auto date = [](std::int64_t seconds) {
        return QLocale().toString(QDateTime::fromSecsSinceEpoch(seconds).toLocalTime(), QLocale::ShortFormat);
    };
    const struct {
        int column;
        const char* caption;
        QString full;
    } columns[] = {
        {ColAlbumArtist, "Album Artist", "Various Ärtists"},
        {ColGenre, "Genre", "Jazz"},
        {ColYear, "Year", "1999"},
        {ColDisc, "Disc", "1/2"},
        {ColRating, "Rating", QString::fromUtf8("★★★☆☆")},
        {ColPlays, "Plays", "12,345"},
        {ColSkips, "Skips", "3"},
        {ColLastPlayed, "Last Played", date(1700000000)},
        {ColDateAdded, "Date Added", date(1600000000)},
    };
    for (const auto& c : columns) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(model.headerData(c.column, Qt::Horizontal).toString(), c.caption);
        EXPECT_EQ(model.data(model.index(0, c.column)).toString(), c.full);
        EXPECT_EQ(model.data(model.index(1, c.column)).toString(), "");
    }
    // Stored by caption; what is not a column is left out.
    EXPECT_EQ(ShownColumnsText({ColRating, ColGenre}), "Genre,Rating");
    EXPECT_EQ(ShownColumnsFromText("Rating,Nonsense,Genre,Title"), (QList<int>{ColGenre, ColRating}));
    QLocale::setDefault(QLocale::system());
}

TEST(TrackListModel, NumbersAreRightAligned)
{
    const OneTrack track = MakeTrack(u"Title", 1);
    TrackListModel model;
    model.Reset({&track});
    for (int column = 0; column < TrackColumnCount; ++column) {
        const bool right = column == ColLength || column == ColBitRate || column == ColSampleRate;
        const int alignment = model.data(model.index(0, column), Qt::TextAlignmentRole).toInt();
        EXPECT_EQ(bool(alignment & Qt::AlignRight), right) << column;
        EXPECT_EQ(model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt(), alignment) << column;
    }
}

TEST(TrackListModel, RefillsWithOneReset)
{
    std::vector<OneTrack> tracks;
    for (int i = 0; i < 500; ++i)
        tracks.push_back(MakeTrack(u"Track", i));
    std::vector<const OneTrack*> rows;
    for (const OneTrack& track : tracks)
        rows.push_back(&track);

    TrackListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&model, &QAbstractItemModel::rowsInserted);
    model.Reset(rows);
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);
    EXPECT_EQ(model.rowCount(), 500);

    model.Clear();
    EXPECT_EQ(resets.count(), 2);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(model.Tracks().empty());
}

} // namespace
