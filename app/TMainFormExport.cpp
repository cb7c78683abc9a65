// Export: the track list as a UTF-16 comma-separated text file.
#include "TMainForm.h"

#include "DestinationFolder.h"
#include "FileCopy.h"
#include "FileIo.h"
#include "PlayerDestination.h"
#include "TPreferencesForm.h"
#include "TrackListExport.h"
#include "TrackListModel.h"
#include "UserDialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QProgressBar>

namespace {

// The status detail follows the rows at most this often: the title of every row of 50,000
// would cost more than the export itself.
constexpr auto kDetailInterval = std::chrono::milliseconds(30);

} // namespace

void TMainForm::ActionFileExportExecute()
{
    ExportTrackList();
}

void TMainForm::ExportTrackList()
{
    if (IsBusy())
        return;
    // From here to the end events run (the dialog, the status line): the tracks taken now must
    // stay until the file is written.
    const DatabaseTask task(*this);
    // The rows as they are now, in their order; sorting during the export does not change them.
    const std::vector<const OneTrack*> tracks = TrackListItems->Tracks();
    if (tracks.empty()) {
        UserDialogs::ShowError(this, "There are no tracks to export.");
        return;
    }
    const QString fileName = UserDialogs::Current().ChooseSaveFile(this, "Export Track List", ChooserStartFolder(),
                                                                   "Comma-Separated Text (*.csv)");
    if (fileName.isEmpty())
        return;
    PreferencesForm->SetExtractPath(fileName.left(fileName.lastIndexOf('/') + 1).toStdString());
    // Written beside the chosen name (the file a link leads to) and put in its place only when
    // complete, through its folder as opened and judged now: a failed export leaves an earlier
    // file as it was, and nothing swapped in meanwhile leads onto the player.
    const std::string path = QFile::encodeName(fileName).toStdString();
    const WriteGate gate(IPodDrive);
    const std::optional<std::string> target = FileBehindLinks(path); // none: links without end

    const DestinationFolder folder(target ? FolderOf(*target) : std::string(), &gate);
    if (!target || folder.Error() == kOnPlayerError) {
        UserDialogs::ShowError(this, kExportOnPlayerMessage);
        return;
    }
    if (folder.Fd() < 0) {
        UserDialogs::ShowError(this, "Error opening file for writing:\n" + fileName);
        return;
    }

    SetStatusText("Exporting track list:");
    // The busy cursor, and a close waits for the end; the export shows no progress bar.
    ShowProgress(true);
    ProgressBar->setVisible(false);
    QCoreApplication::processEvents();

    std::string bytes;
    AppendExportHeader(bytes);
    auto lastDetail = std::chrono::steady_clock::now() - kDetailInterval;
    for (const OneTrack* track : tracks) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastDetail >= kDetailInterval) {
            SetStatusDetail(std::u16string(track->GetTitle()));
            lastDetail = now;
        }
        AppendExportRow(bytes, *track);
    }
    if (!WriteFileInFolder(folder.Fd(), target->substr(target->find_last_of('/') + 1), bytes).empty()) {
        const NormalCursor reporting;
        UserDialogs::ShowError(this, "Error writing file:\n" + fileName);
    } else {
        ShowSummary(QStringLiteral("Exported %1 tracks to %2").arg(QLocale().toString(qulonglong(tracks.size())), fileName),
                    fileName.left(fileName.lastIndexOf('/') + 1));
    }

    SetStatusText(IdleStatusText());
    SetStatusDetail(std::u16string());
    ShowProgress(false);
}
