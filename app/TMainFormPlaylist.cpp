// Save Playlist as M3U: the rows shown, as a playlist of the copies an extraction makes.
#include "TMainForm.h"

#include "AppTitle.h"
#include "BusyCursor.h"
#include "CopyHooks.h"
#include "FileCopy.h"
#include "FileNameTemplate.h"
#include "LetterCase.h"
#include "M3uPlaylist.h"
#include "PlayerDestination.h"
#include "TPreferencesForm.h"
#include "TrackCopyPlan.h"
#include "TrackListModel.h"
#include "TrackNames.h"
#include "UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTreeWidget>

namespace {

// "<playlist name>.m3u8", the name made fit for a file.
QString ProposedFileName(const QTreeWidget& playlists)
{
    const QList<QTreeWidgetItem*> selected = playlists.selectedItems();
    std::u16string name = selected.isEmpty() ? std::u16string() : selected.first()->text(0).toStdU16String();
    CleanFileNamePart(name);
    if (name.empty() || name == u"." || name == u"..")
        name = u"Playlist";
    return QString::fromStdU16String(FitFileName(name, 5)) + ".m3u8";
}

// Where the copies of the tracks are: the folder of the last extraction; before any, the last
// folder used when it exists; else beside the playlist.
std::string CopiesFolder(const TPreferencesForm& preferences, const std::string& playlistFolder)
{
    if (!preferences.GetLastExtractFolder().empty())
        return preferences.GetLastExtractFolder();
    const std::string& extractPath = preferences.GetExtractPath();
    return !extractPath.empty() && FolderExists(extractPath) ? extractPath : playlistFolder;
}

} // namespace

void TMainForm::ActionFileSavePlaylistExecute()
{
    SavePlaylistAsM3u();
}

void TMainForm::SavePlaylistAsM3u()
{
    if (IsBusy())
        return;
    const DatabaseTask task(*this);
    const std::vector<const OneTrack*> tracks = Database ? TrackListItems->Tracks() : std::vector<const OneTrack*>();
    if (tracks.empty()) {
        UserDialogs::ShowError(this, "There are no tracks to save.");
        return;
    }
    const QString fileName = UserDialogs::Current().ChooseSaveFile(
        this, "Save Playlist as M3U", QDir(ChooserStartFolder()).filePath(ProposedFileName(*LstPlaylists)),
        "M3U Playlist (*.m3u8)");
    if (fileName.isEmpty())
        return;

    const std::string path = QFile::encodeName(fileName).toStdString();
    const WriteGate gate(IPodDrive);
    if (gate.RefusesFile(path)) {
        UserDialogs::ShowError(this, kPlaylistOnPlayerMessage);
        return;
    }
    if (const CopyHooks* hooks = CurrentCopyHooks(); hooks && hooks->AtStep)
        hooks->AtStep(CopyStep::GatePassed, path);
    const std::string playlistFolder = QFileInfo(fileName).absolutePath().toStdString();
    const std::string copiesFolder = CopiesFolder(*PreferencesForm, playlistFolder);
    std::vector<M3uEntry> entries;
    std::size_t missing = 0;
    {
        const BusyCursor busy;
        // The extraction's own naming rule, which depends on the run's folder only for letter case.
        const TrackNames names(*Database,
                               {PreferencesForm->GetFileFormat(), false, false, LetterCaseIn(copiesFolder, false)});
        entries.reserve(tracks.size());
        for (const OneTrack* track : tracks) {
            const std::string copy = JoinPath(copiesFolder, names.RelativePath(*track));
            missing += PathExists(copy) ? 0 : 1;
            entries.push_back({track, PathFromFolder(playlistFolder, copy)});
        }
    }
    if (missing > 0) {
        const QString text = QString("%1 of %2 tracks of this playlist have no copy in %3 yet.")
                                 .arg(missing)
                                 .arg(tracks.size())
                                 .arg(QString::fromStdString(copiesFolder));
        if (UserDialogs::Current().Message(this, QString::fromLatin1(kAppTitle), text, UserDialogs::Icon::Warning,
                                           UserDialogs::Buttons::SaveAnywayCancel) != UserDialogs::Answer::Yes)
            return;
    }
    const BusyCursor busy;
    // Judged again now, through the folder as opened: the warning gave time to swap the file or
    // its folder for a link onto the player.
    const std::optional<std::string> target = FileBehindLinks(path);
    const std::string failure = target ? WriteFileAtomically(*target, M3uText(entries), nullptr, &gate, kPlaylistOnPlayerMessage)
                                       : std::string(kPlaylistOnPlayerMessage);
    if (!failure.empty()) {
        const NormalCursor reporting;
        UserDialogs::ShowError(this, failure == kPlaylistOnPlayerMessage
                                         ? QString(kPlaylistOnPlayerMessage)
                                         : "Error writing file:\n" + fileName + "\n" + QString::fromStdString(failure));
        return;
    }
    ShowSummary(QStringLiteral("Saved a playlist of %1 tracks to %2").arg(QLocale().toString(qulonglong(tracks.size())), fileName),
                QFileInfo(fileName).absolutePath());
}
