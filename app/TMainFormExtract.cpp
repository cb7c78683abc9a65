// Extraction: copying the selected tracks to a folder under names from the template.
#include "TMainForm.h"

#include "FileCopy.h"
#include "LetterCase.h"
#include "PlayerDestination.h"
#include "TOverwritePromptForm.h"
#include "TPreferencesForm.h"
#include "TrackCopyPlan.h"
#include "TrackListModel.h"
#include "TrackNames.h"
#include "UserDialogs.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTreeView>

#include <algorithm>
#include <cerrno>

namespace {

// How often a long copy lets the window handle its events when the bar does not move.
constexpr auto kEventInterval = std::chrono::milliseconds(30);

QString Shown(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// Ends a run the same way on every way out: bar hidden, detail empty, idle status line.
class RunGuard {
public:
    explicit RunGuard(TMainForm& form) : Form(form) { Form.ShowProgress(true); }
    ~RunGuard()
    {
        Form.SetStatusDetail(std::u16string());
        Form.SetStatusText(TMainForm::IdleStatusText());
        // Last: a close asked for during the run happens once the window is idle again.
        Form.ShowProgress(false);
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    TMainForm& Form;
};

} // namespace

void TMainForm::ActionFileExtractExecute()
{
    ExtractTracks();
}

std::vector<const OneTrack*> TMainForm::SelectedTracks() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : TrackList->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<const OneTrack*> tracks;
    tracks.reserve(rows.size());
    for (const int row : rows) {
        if (const OneTrack* track = TrackListItems->TrackAt(row))
            tracks.push_back(track);
    }
    return tracks;
}

QString TMainForm::ChooserStartFolder() const
{
    const std::string& last = PreferencesForm->GetExtractPath();
    if (!last.empty() && FolderExists(last))
        return Shown(last);
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void TMainForm::ExtractTracks()
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
    const QString chosen =
        UserDialogs::Current().ChooseFolder(this, "Extract Tracks To Directory", ChooserStartFolder());
    if (chosen.isEmpty())
        return;
    const std::string folder = chosen.toStdString();
    if (!FolderExists(folder)) {
        UserDialogs::ShowError(this, "Error retriving destination directory information.");
        return;
    }
    if (WritesIntoPlayer(folder, IPodDrive)) {
        UserDialogs::ShowError(this, "The chosen folder is on the iPod. Varnel only reads the iPod and never writes "
                                     "to it: please choose a folder on your computer.");
        return;
    }
    PreferencesForm->SetExtractPath(folder);
    std::int32_t mode = PreferencesForm->GetOverwriteFiles();
    const std::vector<TrackCopyPlan> plans = PlanRun(tracks, folder);

    SetStatusText("Extracting tracks:");
    RunGuard run(*this);
    LastEventsRun = std::chrono::steady_clock::now();
    for (const TrackCopyPlan& plan : plans) {
        if (CloseWhenIdle)
            break;
        const QString destination = Shown(plan.Destination);
        SetStatusDetail(destination.toStdU16String());

        if (PathExists(plan.Destination)) {
            if (mode == NeverOverwrite)
                continue;
            if (mode == AlwaysPrompt) {
                const OverwriteAnswer answer = [&] {
                    const NormalCursor asking;
                    return OverwritePromptForm->AskOverwrite(destination);
                }();
                if (answer == AnswerCancel)
                    break;
                if (answer == AnswerYesToAll)
                    mode = AlwaysOverwrite;
                if (answer == AnswerNoToAll)
                    mode = NeverOverwrite;
                if (answer == AnswerNo || answer == AnswerNoToAll)
                    continue;
            }
        }
        if (CloseWhenIdle)
            break;

        SetStatusDetail(destination.toStdU16String());
        std::string reason = plan.Refusal;
        if (reason.empty()) {
            const CopyResult copied = CopyFileAtomically(
                plan.Source, plan.Destination,
                [this](std::uint64_t total, std::uint64_t transferred) { return ExtractCopyProgress(total, transferred); });
            if (copied)
                continue;
            if (copied.Error == ECANCELED && CloseWhenIdle)
                break;
            reason = copied.Message;
        }
        const QString text = "Error extracting " + Shown(plan.Source) + "\nto " + destination + "\n" + Shown(reason) +
                             "\nDo you want to extract remaining files?";
        const NormalCursor asking;
        const UserDialogs::Answer goOn = UserDialogs::Current().Message(
            this, QCoreApplication::applicationName(), text, UserDialogs::Icon::Error, UserDialogs::Buttons::YesNo);
        if (goOn != UserDialogs::Answer::Yes)
            break;
    }
}

std::vector<TrackCopyPlan> TMainForm::PlanRun(const std::vector<const OneTrack*>& tracks, const std::string& folder) const
{
    const TrackNames names(*Database, {PreferencesForm->GetFileFormat(), false, FileSystemIgnoresCase(folder, true)});
    std::vector<TrackCopyPlan> plans;
    plans.reserve(tracks.size());
    for (const OneTrack* track : tracks)
        plans.push_back(PlanTrackCopy(*track, IPodDrive, folder, names));
    return plans;
}

bool TMainForm::ExtractCopyProgress(std::uint64_t total, std::uint64_t transferred)
{
    const int percent = CopyPercent(total, transferred);
    const auto now = std::chrono::steady_clock::now();
    if (percent != ProgressBar->value() || now - LastEventsRun >= kEventInterval) {
        SetProgress(percent);
        LastEventsRun = now;
    }
    return !CloseWhenIdle;
}
