// Save Playlist as M3U: the rows shown, as a playlist of the copies an extraction makes.
#include "TMainForm.h"

#include "BusyCursor.h"
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
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
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

} // namespace

void TMainForm::ActionFileSavePlaylistExecute()
{
    SavePlaylistAsM3u();
}

void TMainForm::SavePlaylistAsM3u()
{
    if (IsBusy() || !Database)
        return;
    const DatabaseTask task(*this);
    const std::vector<const OneTrack*> tracks = TrackListItems->Tracks();
    if (tracks.empty()) {
        UserDialogs::ShowError(this, "There are no tracks to save.");
        return;
    }
    // The tracks' copies are where an extraction into ExtractPath puts them; without that folder
    // they are taken to lie beside the playlist.
    const std::string extractPath = PreferencesForm->GetExtractPath();
    const bool extractFolder = !extractPath.empty() && FolderExists(extractPath);
    const QString startFolder = extractFolder ? QString::fromStdString(extractPath)
                                              : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fileName = UserDialogs::Current().ChooseSaveFile(
        this, "Save Playlist as M3U", QDir(startFolder).filePath(ProposedFileName(*LstPlaylists)), "M3U Playlist (*.m3u8)");
    if (fileName.isEmpty())
        return;

    if (WriteGate(IPodDrive).RefusesFile(QFile::encodeName(fileName).toStdString())) {
        UserDialogs::ShowError(this, kPlaylistOnPlayerMessage);
        return;
    }
    const BusyCursor busy;
    const std::string playlistFolder = QFileInfo(fileName).absolutePath().toStdString();
    const std::string copiesFolder = extractFolder ? extractPath : playlistFolder;
    // The extraction's own naming rule, which depends on the run's folder only for letter case.
    const TrackNames names(*Database, {PreferencesForm->GetFileFormat(), false, FileSystemIgnoresCase(copiesFolder, false)});
    std::vector<M3uEntry> entries;
    entries.reserve(tracks.size());
    for (const OneTrack* track : tracks)
        entries.push_back({track, PathFromFolder(playlistFolder, JoinPath(copiesFolder, names.RelativePath(*track)))});
    const std::string text = M3uText(entries);

    QSaveFile file(fileName);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
                         file.commit();
    if (!written) {
        file.cancelWriting();
        const NormalCursor reporting;
        UserDialogs::ShowError(this, "Error writing file:\n" + fileName + "\n" + file.errorString());
    }
}
