#pragma once

#include "DemoPlayer.h"
#include "ItdbWriter.h"
#include "ScriptedDialogs.h"
#include "ScriptedVolumes.h"
#include "TMainForm.h"
#include "TrackListModel.h"

#include <QLabel>
#include <QLocale>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A main window with fresh settings, scripted dialogs and volumes, and a folder for databases.
class MainFormFixture : public ::testing::Test {
protected:
    void SetUp() override { Restart(-1); }
    // A new window over settings with this track limit.
    void Restart(int trackLimit)
    {
        form.reset();
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel");
        store.clear();
        store.setValue("FirstRun", "0");
        store.setValue("TrackLimit", QString::number(trackLimit));
        store.sync();
        form = std::make_unique<TMainForm>();
    }
    void TearDown() override { form.reset(); }

    // Writes a database of these tracks and playlists and returns its path.
    std::string Write(const std::vector<itdbwriter::TrackSpec>& tracks,
                      const std::vector<itdbwriter::PlaylistSpec>& playlists, const std::string& name = "iTunesDB")
    {
        itdbwriter::Database database;
        database.AddTracks(tracks);
        database.AddPlaylists(playlists);
        const std::string path = Folder.filePath(QString::fromStdString(name)).toStdString();
        EXPECT_TRUE(database.WriteTo(path));
        return path;
    }

    // Tracks with ids first, first+1, ... titled "T<id>".
    static std::vector<itdbwriter::TrackSpec> Tracks(int count, int first = 1)
    {
        std::vector<itdbwriter::TrackSpec> tracks;
        for (int id = first; id < first + count; ++id) {
            std::u16string title = u"T";
            for (const char c : std::to_string(id))
                title += static_cast<char16_t>(c);
            tracks.push_back(itdbwriter::Track(id, title));
        }
        return tracks;
    }

    // Opens through "Open iPod Database File..." as the user would.
    void OpenFile(const std::string& path)
    {
        dialogs.paths.push_back(QString::fromStdString(path));
        form->ActionFileOpenFile->trigger();
    }

    QStringList Playlists() const
    {
        QStringList names;
        for (int i = 0; i < form->LstPlaylists->topLevelItemCount(); ++i)
            names << form->LstPlaylists->topLevelItem(i)->text(0);
        return names;
    }
    int SelectedPlaylist() const
    {
        const auto items = form->LstPlaylists->selectedItems();
        return items.isEmpty() ? -1 : form->LstPlaylists->indexOfTopLevelItem(items.first());
    }
    // The track ids of the rows, in order.
    std::vector<int> Rows() const
    {
        std::vector<int> ids;
        for (const OneTrack* track : form->TrackListItems->Tracks())
            ids.push_back(track->GetTrackId());
        return ids;
    }
    QString Status() const { return form->StatusLine->text(); }

    QTemporaryDir Folder;
    ScriptedDialogs dialogs;
    ScriptedVolumes volumes;
    std::unique_ptr<TMainForm> form;
};

// The demo player open on its master playlist (ids 101 to 116 in order), under a locale whose
// collation Qt's own collator knows too.
class DemoPlayerFixture : public MainFormFixture {
protected:
    void SetUp() override
    {
        QLocale::setDefault(QLocale("en_US"));
        MainFormFixture::SetUp();
        const std::string root = Folder.filePath("demo").toStdString();
        std::string error;
        ASSERT_TRUE(WriteDemoPlayer(root, error)) << error;
        OpenFile(root + "/iPod_Control/iTunes/iTunesDB");
        ASSERT_EQ(form->TrackListItems->rowCount(), kDemoTrackCount);
    }
    void TearDown() override
    {
        MainFormFixture::TearDown();
        QLocale::setDefault(QLocale::system());
    }
};
