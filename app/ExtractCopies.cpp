#include "ExtractCopies.h"

#include "BusyCursor.h"
#include "DestinationFolder.h"
#include "ElidedLabel.h"
#include "TMainForm.h"
#include "TOverwritePromptForm.h"
#include "UserDialogs.h"

#include <QCoreApplication>

#include <cstring>

namespace {

QString Shown(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

OverwriteAnswer ExtractCopies::AskOverwrite(const RunItem& item)
{
    const NormalCursor asking;
    return Form.OverwritePromptForm->AskOverwrite(Shown(item.Plan.Destination));
}

bool ExtractCopies::Failed(const RunItem& item, const std::string& reason, const std::vector<const RunItem*>& alike,
                           const std::string& fatal)
{
    if (Ended)
        return false;
    const bool closing = Form.RunEnding();
    if (fatal == kDestinationGoneReason || fatal == kLeadsOntoPlayerReason) {
        if (!closing)
            UserDialogs::ShowError(&Form, QString(fatal == kDestinationGoneReason
                                                      ? "The destination folder is no longer there."
                                                      : "A folder of the destination now leads onto the iPod. Varnel "
                                                        "only reads the iPod and never writes to it.") +
                                              " The copies already in place are kept; nothing more is copied.");
        Ended = true;
        return false;
    }
    if (closing)
        return true;
    QString text = "Error extracting " + Shown(item.Plan.Source) + "\nto " + Shown(item.Plan.Destination) + "\n" +
                   Shown(reason);
    if (alike.size() == 1)
        text += "\nThe same failure took 1 more file.";
    else if (alike.size() > 1)
        text += "\nThe same failure took " + QString::number(alike.size()) + " more files.";
    text += "\nDo you want to extract remaining files?";
    const NormalCursor asking;
    const UserDialogs::Answer goOn = UserDialogs::Current().Message(
        &Form, QCoreApplication::applicationName(), text, UserDialogs::Icon::Error, UserDialogs::Buttons::YesNo);
    Ended = goOn != UserDialogs::Answer::Yes;
    return !Ended;
}

void ExtractCopies::Unconfirmed(int /*copies*/, int error)
{
    if (UnconfirmedTold || Form.RunEnding())
        return;
    UnconfirmedTold = true;
    UserDialogs::ShowWarning(&Form, "The disk did not confirm the names of the copies just put in place: " +
                                        Shown(std::strerror(error)));
}

void ExtractCopies::Progress(const RunProgress& progress)
{
    // Called every few tens of milliseconds: each call lets the window's events run.
    if (progress.Current && progress.Current != Named) {
        Named = progress.Current;
        Form.SetStatusDetail(QString::fromStdString(progress.Current->Plan.Destination).toStdU16String());
    }
    Form.ShowRunProgress(static_cast<std::size_t>(progress.Copied + progress.Kept + progress.Failed), progress.Items,
                         progress.BytesDone + progress.CurrentDone, progress.Bytes);
    const std::uint64_t total = progress.Current ? progress.Current->Size() : 0;
    Form.SetProgress(progress.Current ? CopyPercent(total, progress.CurrentDone) : 0);
}

bool ExtractCopies::StopRequested()
{
    return Form.RunEnding();
}
