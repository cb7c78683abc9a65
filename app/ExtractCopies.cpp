#include "ExtractCopies.h"

#include "BusyCursor.h"
#include "CopyTemporary.h"
#include "RunTagging.h"
#include "Settings.h"
#include "TMainForm.h"
#include "TOverwritePromptForm.h"
#include "UserDialogs.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

QString Shown(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

CopyOptions BeneathPlayer(const std::string& playerRoot, const DestinationFolder& destination)
{
    CopyOptions options;
    options.SourceRoot = playerRoot;
    options.Destination = &destination;
    return options;
}

bool Stopped(const CopyResult& result)
{
    return result.Error == ECANCELED && result.Side == CopySide::None;
}

} // namespace

ExtractCopies::ExtractCopies(TMainForm& form, const std::string& playerRoot, const std::string& folder,
                             std::int32_t& mode, RunTagging* tagging)
    : Form(form), Mode(mode), Tagging(tagging), Gate(playerRoot), Destination(folder, &Gate), Options(BeneathPlayer(playerRoot, Destination)),
      Group(Options)
{
}

CopyFinish ExtractCopies::TagStep(const TrackCopyPlan& plan, const OneTrack& track)
{
    return Tagging ? Tagging->StepFor(track, plan.Extension) : CopyFinish();
}

CopyProgress ExtractCopies::Progress()
{
    return [this](std::uint64_t total, std::uint64_t transferred) { return Form.ExtractCopyProgress(total, transferred); };
}

void ExtractCopies::Look(const TrackCopyPlan& plan)
{
    const std::string folder = plan.Destination.substr(0, plan.Destination.find_last_of('/'));
    if (std::find(Swept.begin(), Swept.end(), folder) != Swept.end())
        return;
    Swept.push_back(folder);
    const int fd = Destination.OpenFolder(Destination.Below(folder).value_or(std::string()));
    if (fd >= 0) {
        RemoveStaleTemporaries(fd);
        ::close(fd);
    }
}

bool ExtractCopies::Copy(const TrackCopyPlan& plan, const OneTrack& track, bool replace)
{
    const CopyResult result = Group.Add(plan.Source, plan.Destination, replace, Progress(), TagStep(plan, track));
    if (Stopped(result))
        return false;
    if (!result)
        return !Gone(result) && AskToGoOn(plan, result.Message, 0);
    Pending.push_back({plan, &track, replace});
    return !Group.Full() || Flush();
}

bool ExtractCopies::Flush()
{
    const std::vector<Waiting> copies = std::move(Pending);
    Pending.clear();
    return Settle(copies, Group.Commit());
}

int ExtractCopies::Finish(bool quiet)
{
    Quiet = quiet;
    const int before = Placed;
    if (!DestinationGone)
        Flush();
    Group.Discard();
    Pending.clear();
    return Placed - before;
}

bool ExtractCopies::Gone(const CopyResult& result)
{
    if (result.Side == CopySide::Source || (!DestinationGoneError(result.Error) && Destination.StillThere()))
        return false;
    if (!DestinationGone && !Quiet)
        UserDialogs::ShowError(&Form, "The destination folder is no longer there. The copies already in place "
                                      "are kept; nothing more is copied.");
    DestinationGone = true;
    return true;
}

bool ExtractCopies::Settle(const std::vector<Waiting>& copies, const std::vector<CopyResult>& results)
{
    for (std::size_t i = 0; i < copies.size() && i < results.size(); ++i) {
        const CopyResult& result = results[i];
        if (result) {
            ++Placed;
            if (result.Unconfirmed != 0 && !UnconfirmedTold && !Quiet) {
                // The copies count as made: their data was on disk before they were named.
                UnconfirmedTold = true;
                UserDialogs::ShowWarning(&Form, "The disk did not confirm the names of the copies just put in "
                                                "place: " + Shown(std::strerror(result.Unconfirmed)));
            }
            continue;
        }
        if (Gone(result))
            return false;
        if (result.Error == EEXIST && result.Side == CopySide::Destination && !copies[i].Replace) {
            if (Quiet)
                continue; // the file that appeared stays
            if (!NameTaken(copies[i]))
                return false;
            continue;
        }
        // One failure that took the copies after it too (a failed flush) is told once.
        std::size_t more = 0;
        while (i + more + 1 < results.size() && results[i + more + 1].Error == result.Error &&
               results[i + more + 1].Message == result.Message)
            ++more;
        if (Quiet || !AskToGoOn(copies[i].Plan, result.Message, more)) {
            if (!Quiet)
                return false;
        }
        i += more;
    }
    return true;
}

bool ExtractCopies::NameTaken(const Waiting& copy)
{
    const TrackCopyPlan& plan = copy.Plan;
    if (Mode == NeverOverwrite)
        return true;
    if (Mode == AlwaysPrompt) {
        const OverwriteAnswer answer = [&] {
            const NormalCursor asking;
            return Form.OverwritePromptForm->AskOverwrite(Shown(plan.Destination));
        }();
        if (answer == AnswerCancel)
            return false;
        if (answer == AnswerYesToAll)
            Mode = AlwaysOverwrite;
        if (answer == AnswerNoToAll)
            Mode = NeverOverwrite;
        if (answer == AnswerNo || answer == AnswerNoToAll)
            return true;
    }
    const CopyResult again =
        CopyFileAtomically(plan.Source, plan.Destination, Progress(), Options, true, TagStep(plan, *copy.Track));
    if (Stopped(again))
        return false;
    if (again)
        ++Placed;
    return again || (!Gone(again) && AskToGoOn(plan, again.Message, 0));
}

bool ExtractCopies::AskToGoOn(const TrackCopyPlan& plan, const std::string& reason, std::size_t more)
{
    QString text = "Error extracting " + Shown(plan.Source) + "\nto " + Shown(plan.Destination) + "\n" + Shown(reason);
    if (more == 1)
        text += "\nThe same failure took 1 more file.";
    else if (more > 1)
        text += "\nThe same failure took " + QString::number(more) + " more files.";
    text += "\nDo you want to extract remaining files?";
    const NormalCursor asking;
    const UserDialogs::Answer goOn = UserDialogs::Current().Message(
        &Form, QCoreApplication::applicationName(), text, UserDialogs::Icon::Error, UserDialogs::Buttons::YesNo);
    return goOn == UserDialogs::Answer::Yes;
}
