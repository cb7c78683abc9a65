// Extraction: copying the selected tracks to a folder under names from the template.
#include "TMainForm.h"

#include "ElidedLabel.h"
#include "ExtractCopies.h"
#include "FileCopy.h"
#include "LetterCase.h"
#include "PlayerDestination.h"
#include "PlayerPaths.h"
#include "RowSelection.h"
#include "RunTagging.h"
#include "SignalCatcher.h"
#include "TOverwritePromptForm.h"
#include "TPreferencesForm.h"
#include "TrackCopyPlan.h"
#include "TrackListModel.h"
#include "TrackNames.h"
#include "UserDialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QProgressBar>
#include <QStandardPaths>
#include <QTreeView>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <optional>

namespace {

// How often an extraction moves the bar and lets the window handle its events. Doing so for
// every file and every percent (each new value repaints the status bar at once) made the
// window's extraction of many songs half as slow again as the command line's.
constexpr auto kEventInterval = std::chrono::milliseconds(30);
// The copies the write gate looks at between two chances for the window's events: each takes a
// look at the file system.
constexpr std::size_t kGatePart = 2000;

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
        Form.SetStatusText(Final.empty() ? TMainForm::IdleStatusText() : Final);
        // Last: a close asked for during the run happens once the window is idle again.
        Form.ShowProgress(false);
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

    // The status line's text after the run, instead of the idle one.
    std::string Final;

private:
    TMainForm& Form;
};

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
    const QString chosen =
        UserDialogs::Current().ChooseFolder(this, "Extract Tracks To Directory", ChooserStartFolder());
    if (chosen.isEmpty())
        return;
    const std::string folder = chosen.toStdString();
    if (!FolderExists(folder)) {
        UserDialogs::ShowError(this, "Error retriving destination directory information.");
        return;
    }
    const WriteGate gate(IPodDrive);
    if (gate.RefusesFolder(folder)) {
        UserDialogs::ShowError(this, "The chosen folder is on the iPod. Varnel only reads the iPod and never writes "
                                     "to it: please choose a folder on your computer.");
        return;
    }
    PreferencesForm->SetExtractPath(folder);
    // Where the copies are, for a playlist saved later: an export moves ExtractPath elsewhere.
    PreferencesForm->SetLastExtractFolder(folder);
    std::int32_t mode = PreferencesForm->GetOverwriteFiles();

    // Busy at once: naming and finding the files of 50,000 tracks takes a while, and the window
    // stays alive meanwhile.
    SetStatusText("Extracting tracks:");
    RunGuard run(*this);
    auto planned = std::chrono::steady_clock::now();
    const auto goOn = [&] {
        const auto now = std::chrono::steady_clock::now();
        if (now - planned >= kEventInterval) {
            QCoreApplication::processEvents();
            planned = now;
        }
        return !RunEnding();
    };
    const std::vector<TrackCopyPlan> plans = PlanRun(tracks, folder, goOn);
    // The template's folders, or links in the chosen folder, can lead back onto the player. The
    // copies are looked at a part at a time, with the window's events run between the parts.
    std::optional<std::string> refused;
    for (std::size_t first = 0; first < plans.size() && !refused && goOn(); first += kGatePart) {
        std::vector<std::string> written;
        for (std::size_t i = first; i < std::min(plans.size(), first + kGatePart); ++i)
            written.push_back(plans[i].Destination);
        refused = gate.FirstRefused(written);
    }
    if (refused) {
        const NormalCursor reporting;
        UserDialogs::ShowError(this, "Some copies would be written onto the iPod. Varnel only reads the iPod and never "
                                     "writes to it: please choose another folder or file name template.");
        return;
    }
    // The first progress report of the run moves the bar; later ones every kEventInterval. The
    // file names in the detail area keep a clock of their own, so that a long stretch of files
    // that are not copied still lets events run.
    LastEventsRun = {};
    auto detailShown = std::chrono::steady_clock::now();
    auto showDetail = [&](const QString& text) {
        const auto now = std::chrono::steady_clock::now();
        if (now - detailShown < kEventInterval) {
            StatusDetail->SetFullText(text);
            return;
        }
        SetStatusDetail(text.toStdU16String());
        detailShown = now;
    };
    std::unique_ptr<RunTagging> tagging;
    if (writeTags)
        tagging = std::make_unique<RunTagging>(FindPathNoCase(IPodDrive, "iPod_Control/Artwork/ArtworkDB").value_or(""));
    ExtractCopies copies(*this, IPodDrive, folder, mode, tagging.get());
    if (copies.OpenError() != 0) {
        UserDialogs::ShowError(this, "Error retriving destination directory information.");
        return;
    }
    bool stopped = false;
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const TrackCopyPlan& plan = plans[i];
        if ((stopped = RunEnding()))
            break;
        const QString destination = Shown(plan.Destination);
        showDetail(destination);
        if (plan.Refusal.empty())
            copies.Look(plan);

        bool replace = mode == AlwaysOverwrite;
        if (copies.Taken(plan)) {
            if (mode == NeverOverwrite)
                continue;
            if (mode == AlwaysPrompt) {
                // The copies made so far go in place first: the answer may take long, and the
                // window may be closed meanwhile.
                if ((stopped = !copies.Flush()))
                    break;
                const OverwriteAnswer answer = [&] {
                    const NormalCursor asking;
                    return OverwritePromptForm->AskOverwrite(destination);
                }();
                if ((stopped = answer == AnswerCancel))
                    break;
                if (answer == AnswerYesToAll)
                    mode = AlwaysOverwrite;
                if (answer == AnswerNoToAll)
                    mode = NeverOverwrite;
                if (answer == AnswerNo || answer == AnswerNoToAll)
                    continue;
            }
            replace = true;
        }
        if ((stopped = RunEnding()))
            break;

        if ((stopped = !plan.Refusal.empty() ? !copies.AskToGoOn(plan, plan.Refusal) : !copies.Copy(plan, *tracks[i], replace)))
            break;
    }
    // However the run ends, the copies written whole go in place; only the one in progress was
    // dropped. A window that is closing asks nothing more.
    const int placed = copies.Finish(CloseWhenIdle);
    if (stopped && placed > 0)
        run.Final = "Stopped; " + std::to_string(placed) + " finished " + (placed == 1 ? "copy was" : "copies were") +
                    " put in place first";
    if (tagging && !CloseWhenIdle && !tagging->Warnings().empty()) {
        QStringList lines;
        for (const std::string& warning : tagging->Warnings())
            lines << Shown(warning);
        const NormalCursor told;
        UserDialogs::ShowWarning(this, lines.join('\n'));
    }
}

std::vector<TrackCopyPlan> TMainForm::PlanRun(const std::vector<const OneTrack*>& tracks, const std::string& folder,
                                              const std::function<bool()>& goOn) const
{
    // Named first, all tracks of the database: the window's events run meanwhile too.
    const TrackNames names(*Database, {PreferencesForm->GetFileFormat(), false, FileSystemIgnoresCase(folder, true)},
                           [&goOn] { goOn(); });
    std::vector<TrackCopyPlan> plans;
    plans.reserve(tracks.size());
    for (const OneTrack* track : tracks) {
        if (!goOn())
            return {};
        plans.push_back(PlanTrackCopy(*track, IPodDrive, folder, names));
    }
    return plans;
}

bool TMainForm::ExtractCopyProgress(std::uint64_t total, std::uint64_t transferred)
{
    const int percent = CopyPercent(total, transferred);
    const auto now = std::chrono::steady_clock::now();
    // Not for every chunk: a new value repaints the bar, and with it the status bar, at once.
    if (now - LastEventsRun >= kEventInterval) {
        SetProgress(percent);
        LastEventsRun = now;
    }
    return !RunEnding();
}

bool TMainForm::RunEnding()
{
    // The signal handler only notes a signal; the window hears of it when events run, which a
    // run lets happen only every few tens of milliseconds. Let them run at once, so that the run
    // ends before its next file rather than after a group of small ones.
    if (SignalCatcher::Arrived() && !CloseWhenIdle)
        QCoreApplication::processEvents();
    return CloseWhenIdle;
}
