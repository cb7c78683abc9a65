// Extraction: copying the selected tracks to a folder under names from the template.
#include "TMainForm.h"

#include "ExtractCopies.h"
#include "RunGuard.h"
#include "ExtractRun.h"
#include "FileCopy.h"
#include "PlayerPaths.h"
#include "RowSelection.h"
#include "RunSummaryText.h"
#include "RunTagging.h"
#include "SignalCatcher.h"
#include "TPreferencesForm.h"
#include "TrackListModel.h"
#include "UserDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QStandardPaths>
#include <QTreeView>

#include <algorithm>
#include <memory>

namespace {

QString Shown(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

void TMainForm::ActionFileExtractExecute()
{
    ExtractTracks();
}

void TMainForm::ActionFileExtractTaggedExecute()
{
    ExtractTracks(true);
}

std::vector<const OneTrack*> TMainForm::SelectedTracks() const
{
    // Read from the selection's ranges: asking Qt for the selected rows costs the square of the
    // number of ranges, seconds for a selection scattered by a sort.
    const std::vector<char> selected = SelectedRowMask(*TrackList->selectionModel());
    std::vector<const OneTrack*> tracks;
    tracks.reserve(static_cast<std::size_t>(std::count(selected.begin(), selected.end(), char(1))));
    for (std::size_t row = 0; row < selected.size(); ++row) {
        if (!selected[row])
            continue;
        if (const OneTrack* track = TrackListItems->TrackAt(static_cast<int>(row)))
            tracks.push_back(track);
    }
    return tracks;
}

QString TMainForm::ChooserStartFolder() const
{
    const std::string& last = PreferencesForm->GetExtractPath();
    if (!last.empty() && FolderExists(last))
        return Shown(last);
    // The documents folder is named by the desktop, but need not exist.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QDir(documents).exists() ? documents : QDir::homePath();
}

void TMainForm::ExtractTracks(bool writeTags)
{
    // One long task at a time: a second one would run inside the first one's event handling.
    if (IsBusy())
        return;
    // From here to the end events run (the chooser, the status line): the tracks taken now must
    // stay until the run is over.
    const DatabaseTask task(*this);
    // The run works on the tracks selected now, whatever happens to the list meanwhile.
    const std::vector<const OneTrack*> tracks = SelectedTracks();
    if (tracks.empty()) {
        UserDialogs::ShowWarning(this, "Please select tracks to extract.");
        return;
    }
    const QString chosen = ChooseExtractFolder("Extract Tracks To Directory");
    if (chosen.isEmpty())
        return;
    const std::string folder = chosen.toStdString();
    std::unique_ptr<RunTagging> tagging;
    if (writeTags)
        tagging = std::make_unique<RunTagging>(FindPathNoCase(IPodDrive, "iPod_Control/Artwork/ArtworkDB").value_or(""));
    ExtractCopies copies(*this);
    ExtractRun run({IPodDrive, folder, static_cast<OverwriteMode>(PreferencesForm->GetOverwriteFiles()), tagging.get()},
                   copies);
    if (run.DestinationOnPlayer()) {
        UserDialogs::ShowError(this, kChosenFolderOnPlayer);
        return;
    }
    PreferencesForm->SetExtractPath(folder);
    // Where the copies are, for a playlist saved later: an export moves ExtractPath elsewhere.
    PreferencesForm->SetLastExtractFolder(folder);

    // Busy at once: naming and finding the files of 50,000 tracks takes a while, and the window
    // stays alive meanwhile (the run reports its progress every few tens of milliseconds).
    SetStatusText("Extracting tracks:");
    RunGuard guard(*this);
    if (!run.Plan(*Database, tracks, {PreferencesForm->GetFileFormat(), false}))
        return;
    // The template's folders, or links in the chosen folder, can lead back onto the player.
    if (!OpenPlannedRun(run, "Some copies would be written onto the iPod. Varnel only reads the iPod and never "
                             "writes to it: please choose another folder or file name template.",
                        QStringLiteral("tracks")))
        return;
    const RunCounts& counts = run.CopyTracks();
    EndRunProgress();
    ShowSummary(ExtractSummary(counts.Copied, static_cast<int>(tracks.size()), chosen, counts.Failed, counts.Kept,
                               tagging ? tagging->Untagged() : 0),
                chosen);
    guard.After(counts);
    if (tagging && !CloseWhenIdle && !tagging->Warnings().empty()) {
        QStringList lines;
        for (const std::string& warning : tagging->Warnings())
            lines << Shown(warning);
        const NormalCursor told;
        UserDialogs::ShowWarning(this, lines.join('\n'));
    }
}

bool TMainForm::RunEnding()
{
    // The signal handler only notes a signal; the window hears of it when events run, which a
    // run lets happen only every few tens of milliseconds. Let them run at once, so that the run
    // ends before its next file rather than after a group of small ones.
    if (SignalCatcher::Arrived() && !CloseWhenIdle)
        QCoreApplication::processEvents();
    return CloseWhenIdle || StopAsked;
}

QString TMainForm::ChooseExtractFolder(const char* caption)
{
    const QString chosen = UserDialogs::Current().ChooseFolder(this, caption, ChooserStartFolder());
    if (chosen.isEmpty())
        return {};
    if (!FolderExists(chosen.toStdString())) {
        UserDialogs::ShowError(this, "Error retriving destination directory information.");
        return {};
    }
    return chosen;
}

bool TMainForm::OpenPlannedRun(ExtractRun& run, const char* someOnPlayer, const QString& items)
{
    if (run.FirstOnPlayer()) {
        const NormalCursor reporting;
        UserDialogs::ShowError(this, someOnPlayer);
        return false;
    }
    if (const int error = run.Open(); error != 0) {
        const NormalCursor reporting;
        // The folder passed the gate when it was chosen, but leads onto the player by now.
        UserDialogs::ShowError(this, error == kOnPlayerError ? kChosenFolderOnPlayer
                                                             : "Error retriving destination directory information.");
        return false;
    }
    BeginRunProgress(items);
    return true;
}
