#include "FakePlayer.h"
#include "RunSummaryText.h"
#include "ScriptedDialogs.h"

#include "CopyHooks.h"

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const std::vector<FakeTrack> kTracks = {
    {1, u"One", ":iPod_Control:Music:F00:AAAA.mp3", "first song"},
    {2, u"Two", ":iPod_Control:Music:F01:BBBB.mp3", "second song"},
    {3, u"Three", ":iPod_Control:Music:F02:CCCC.mp3", "third song"},
};

} // namespace

// Takes the URLs the desktop would be asked to open.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& url) { Urls << url; }
};

TEST(RunSummaryText, CountsInTheLocalesGroupingAndVarnelCliWords)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(ExtractSummary(1523, 1523, "/home/me/Music", 0, 0, 0), "Extracted 1,523 of 1,523 tracks to /home/me/Music");
    EXPECT_EQ(ExtractSummary(1504, 1523, "/m", 3, 12, 4),
              "Extracted 1,504 of 1,523 tracks to /m, 3 failed, 12 kept as they were, 4 could not be tagged");
    const std::uint64_t gib = 1024ull * 1024 * 1024;
    EXPECT_EQ(RunProgressText(120, 5000, gib * 11 / 10, gib * 243 / 10, 720),
              QString::fromUtf8("120 of 5,000 tracks · 1.1 of 24.3 GiB · about 12 min left"));
    EXPECT_EQ(RunProgressText(1, 3, 512 * 1024, 3 * 1024 * 1024, -1), QString::fromUtf8("1 of 3 tracks · 0.5 of 3.0 MiB"));
    EXPECT_EQ(RunProgressText(2, 3, 20, 30, 0.2), QString::fromUtf8("2 of 3 tracks · 20 of 30 bytes · about 1 s left"));
    QLocale::setDefault(QLocale::system());
}

// After each command the fourth area says what it did, with Open Folder, until the next command.
TEST(RunSummary, ExtractionExportAndPlaylistSayWhatTheyDid)
{
    StoreSettings({{"FileFormat", "%title%"}, {"OverwriteFiles", "1"}});
    ScriptedDialogs dialogs;
    FakePlayer player(kTracks);
    TMainForm form;
    player.OpenIn(form, {0, 1, 2});
    OpenedUrls opened;
    QDesktopServices::setUrlHandler("file", &opened, "Open");
    const QString out = QString::fromStdString(player.Out());

    FakePlayer::Write(player.Out("Two.mp3"), "already there");
    form.ActionEditAll->trigger();
    dialogs.paths.push_back(out);
    form.ActionFileExtract->trigger();
    EXPECT_EQ(form.LblRunSummary->text(), "Extracted 2 of 3 tracks to " + out + ", 1 kept as they were");
    EXPECT_EQ(form.StatusLine->text(), "Varnel Ready"); // the status line keeps its own text
    EXPECT_TRUE(form.BtnOpenFolder->isVisibleTo(&form));
    EXPECT_FALSE(form.BtnStop->isVisibleTo(&form));
    form.BtnOpenFolder->click();
    EXPECT_EQ(opened.Urls, QList<QUrl>{QUrl::fromLocalFile(out)});

    dialogs.paths.push_back(out + "/list.csv");
    form.ActionFileExport->trigger();
    EXPECT_EQ(form.LblRunSummary->text(), "Exported 3 tracks to " + out + "/list.csv");
    dialogs.paths.push_back(out + "/iPod.m3u8");
    form.ActionFileSavePlaylist->trigger();
    EXPECT_EQ(form.LblRunSummary->text(), "Saved a playlist of 3 tracks to " + out + "/iPod.m3u8");

    form.ActionEditNone->trigger();
    EXPECT_EQ(form.LblRunSummary->text(), "");
    EXPECT_FALSE(form.BtnOpenFolder->isVisibleTo(&form));
    QDesktopServices::unsetUrlHandler("file");
}

// Stop and Escape end a run as closing the window does, but the window stays: the copy in
// progress is dropped and the finished ones are put in place and counted.
TEST(RunSummary, StopAndEscapeEndTheRunKeepingFinishedCopies)
{
    StoreSettings({{"FileFormat", "%title%"}});
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape ? "Escape" : "Stop");
        ScriptedDialogs dialogs;
        FakePlayer player(kTracks);
        TMainForm form;
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        player.OpenIn(form, {0, 1, 2});
        form.ActionEditAll->trigger();
        int opened = 0;
        QString progress;
        CopyHooks hooks;
        hooks.AtStep = [&](CopyStep step, const std::string&) {
            if (step != CopyStep::SourceOpened || ++opened != 2)
                return;
            progress = form.LblRunSummary->text();
            if (escape)
                QTest::keyClick(form.TrackList, Qt::Key_Escape);
            else
                form.BtnStop->click();
        };
        SetCopyHooks(&hooks);
        dialogs.paths.push_back(QString::fromStdString(player.Out()));
        form.ActionFileExtract->trigger();
        SetCopyHooks(nullptr);
        EXPECT_TRUE(progress.startsWith("0 of 3 tracks") || progress.startsWith("1 of 3 tracks")) << progress.toStdString();
        EXPECT_EQ(form.StatusLine->text(), "Stopped; 1 finished copy was put in place first");
        EXPECT_TRUE(std::filesystem::exists(player.Out("One.mp3")));
        EXPECT_FALSE(std::filesystem::exists(player.Out("Two.mp3")));
        EXPECT_EQ(form.LblRunSummary->text(), "Extracted 1 of 3 tracks to " + QString::fromStdString(player.Out()));
        EXPECT_TRUE(form.isVisible());
        EXPECT_TRUE(form.Database);
        EXPECT_TRUE(dialogs.messages.empty());
    }
}

#include "TMainFormSummaryTest.moc"
