// Export: the track list as a UTF-16 comma-separated text file.
#include "TMainForm.h"

#include "PlayerDestination.h"
#include "TPreferencesForm.h"
#include "TrackListExport.h"
#include "TrackListModel.h"
#include "UserDialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QProgressBar>
#include <QSaveFile>

namespace {

// The status detail follows the rows at most this often: the title of every row of 50,000
// would cost more than the export itself.
constexpr auto kDetailInterval = std::chrono::milliseconds(30);
constexpr std::size_t kWriteBytes = 256 * 1024;

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
    if (WriteGate(IPodDrive).RefusesFile(QFile::encodeName(fileName).toStdString())) {
        UserDialogs::ShowError(this, kExportOnPlayerMessage);
        return;
    }

    // Written beside the chosen name and put in its place only when complete, so that a failed
    // export leaves an earlier file of that name as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        UserDialogs::ShowError(this, "Error opening file for writing:\n" + fileName);
        return;
    }

    SetStatusText("Exporting track list:");
    // The busy cursor, and a close waits for the end; the export shows no progress bar.
    ShowProgress(true);
    ProgressBar->setVisible(false);
    QCoreApplication::processEvents();

    std::string bytes;
    bytes.reserve(kWriteBytes + 4096);
    AppendExportHeader(bytes);
    bool written = true;
    auto flush = [&] {
        written = written && file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
        bytes.clear();
    };
    auto lastDetail = std::chrono::steady_clock::now() - kDetailInterval;
    for (const OneTrack* track : tracks) {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastDetail >= kDetailInterval) {
            SetStatusDetail(std::u16string(track->GetTitle()));
            lastDetail = now;
        }
        AppendExportRow(bytes, *track);
        if (bytes.size() >= kWriteBytes)
            flush();
    }
    flush();
    if (!written || !file.commit()) {
        file.cancelWriting();
        const NormalCursor reporting;
        UserDialogs::ShowError(this, "Error writing file:\n" + fileName);
    }

    SetStatusText(IdleStatusText());
    SetStatusDetail(std::u16string());
    ShowProgress(false);
}
