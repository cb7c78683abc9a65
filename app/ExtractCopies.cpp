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

namespace {

CopyOptions BeneathPlayer(const std::string& playerRoot)
{
    CopyOptions options;
    options.SourceRoot = playerRoot;
    return options;
}

QString Shown(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

bool Stopped(const CopyResult& result)
{
    return result.Error == ECANCELED && result.Side == CopySide::None;
}

} // namespace

ExtractCopies::ExtractCopies(TMainForm& form, const std::string& playerRoot, std::int32_t& mode, RunTagging* tagging)
    : Form(form), Mode(mode), Tagging(tagging), Options(BeneathPlayer(playerRoot)), Group(Options)
{
}

CopyProgress ExtractCopies::Progress()
{
    return [this](std::uint64_t total, std::uint64_t transferred) { return Form.ExtractCopyProgress(total, transferred); };
}

CopyFinish ExtractCopies::Finish(const TrackCopyPlan& plan, const OneTrack& track)
{
    return Tagging ? Tagging->StepFor(track, plan.Extension) : CopyFinish();
}

bool ExtractCopies::Copy(const TrackCopyPlan& plan, const OneTrack& track, bool replace)
{
    const std::string folder = plan.Destination.substr(0, plan.Destination.find_last_of('/'));
    if (std::find(Swept.begin(), Swept.end(), folder) == Swept.end()) {
        Swept.push_back(folder);
        RemoveStaleTemporaries(folder);
    }
    const CopyResult result = Group.Add(plan.Source, plan.Destination, replace, Progress(), Finish(plan, track));
    if (Stopped(result)) {
        Abandon();
        return false;
    }
    if (!result)
        return AskToGoOn(plan, result.Message, 0);
    Pending.push_back({plan, &track, replace});
    return !Group.Full() || Flush();
}

bool ExtractCopies::Flush()
{
    const std::vector<Waiting> copies = std::move(Pending);
    Pending.clear();
    return Settle(copies, Group.Commit());
}

void ExtractCopies::Abandon()
{
    Group.Discard();
    Pending.clear();
}

bool ExtractCopies::Settle(const std::vector<Waiting>& copies, const std::vector<CopyResult>& results)
{
    for (std::size_t i = 0; i < copies.size() && i < results.size(); ++i) {
        const CopyResult& result = results[i];
        if (result)
            continue;
        if (result.Error == EEXIST && result.Side == CopySide::Destination && !copies[i].Replace) {
            if (!NameTaken(copies[i]))
                return false;
            continue;
        }
        // One failure that took the copies after it too (a failed flush) is told once.
        std::size_t more = 0;
        while (i + more + 1 < results.size() && results[i + more + 1].Error == result.Error &&
               results[i + more + 1].Message == result.Message)
            ++more;
        if (!AskToGoOn(copies[i].Plan, result.Message, more))
            return false;
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
        CopyFileAtomically(plan.Source, plan.Destination, Progress(), Options, true, Finish(plan, *copy.Track));
    if (Stopped(again))
        return false;
    return again || AskToGoOn(plan, again.Message, 0);
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
