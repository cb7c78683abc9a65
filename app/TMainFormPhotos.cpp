// Photos: the player's photos written into a folder, one folder per album, through the same
// extraction run as the tracks.
#include "TMainForm.h"

#include "BusyCursor.h"
#include "ExtractCopies.h"
#include "ExtractRun.h"
#include "FileCopy.h"
#include "LetterCase.h"
#include "PhotoLibrary.h"
#include "PhotoPlan.h"
#include "RunGuard.h"
#include "RunSummaryText.h"
#include "TPreferencesForm.h"
#include "UserDialogs.h"

void TMainForm::ActionFileExtractPhotosExecute()
{
    ExtractPhotos();
}

void TMainForm::ExtractPhotos()
{
    if (IsBusy())
        return;
    const DatabaseTask task(*this);
    if (!Database) {
        UserDialogs::ShowWarning(this, "Open a player first.");
        return;
    }
    PhotoLibrary library(IPodDrive);
    if (library.Found() && !library.Read()) {
        UserDialogs::ShowError(this, QString::fromStdString(library.Problem()));
        return;
    }
    if (library.Photos().empty()) {
        UserDialogs::ShowWarning(this, "This player holds no photos.");
        return;
    }
    const QString chosen = ChooseExtractFolder("Extract Photos");
    if (chosen.isEmpty())
        return;
    const std::string folder = chosen.toStdString();
    ExtractCopies copies(*this);
    ExtractRun run({IPodDrive, folder, static_cast<OverwriteMode>(PreferencesForm->GetOverwriteFiles()), nullptr}, copies);
    if (run.DestinationOnPlayer()) {
        UserDialogs::ShowError(this, kChosenFolderOnPlayer);
        return;
    }
    PreferencesForm->SetExtractPath(folder);
    if (!library.Problem().empty())
        UserDialogs::ShowWarning(this, QString::fromStdString(library.Problem()));

    SetStatusText("Extracting photos:");
    RunGuard guard(*this);
    const PhotoPlan plan = PlanPhotoCopies(library, std::nullopt, FileSystemIgnoresCase(folder, true));
    if (!run.PlanItems(PhotoRunItems(library, plan, folder)))
        return;
    if (!OpenPlannedRun(run, "Some photos would be written onto the iPod. Varnel only reads the iPod and never "
                             "writes to it: please choose another folder.",
                        QStringLiteral("photos")))
        return;
    const RunCounts counts = run.CopyTracks();
    EndRunProgress();
    ShowSummary(ExtractSummary(counts.Copied, static_cast<int>(run.Tracks().size()), chosen, counts.Failed, counts.Kept, 0,
                               QStringLiteral("photos")),
                chosen);
    guard.After(counts);
}
