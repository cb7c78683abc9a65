#include "ExtractCopier.h"

#include "ExtractProgress.h"
#include "Interrupt.h"
#include "OverwritePrompt.h"

#include <chrono>
#include <cstring>

std::string FailureLine(const RunItem& item, const std::string& reason)
{
    if (item.What == RunItem::Kind::Playlist)
        return "varnel-cli: Error writing playlist " + item.Plan.Destination + ": " + reason;
    return "varnel-cli: Error extracting " + item.Plan.Source + " to " + item.Plan.Destination + ": " + reason;
}

OverwriteAnswer ExtractCopier::AskOverwrite(const RunItem& item)
{
    Shown.Finish();
    const auto asked = std::chrono::steady_clock::now();
    const OverwriteAnswer answer = AskOverwriteOnTerminal(item.Plan.Destination);
    Shown.Waited(std::chrono::steady_clock::now() - asked);
    return answer;
}

bool ExtractCopier::Failed(const RunItem& item, const std::string& reason, const std::vector<const RunItem*>& alike,
                           const std::string& fatal)
{
    if (Run)
        Shown.Update(Run->Progress());
    Shown.Message(FailureLine(item, reason));
    for (const RunItem* other : alike)
        Shown.Message(FailureLine(*other, reason));
    return fatal.empty();
}

void ExtractCopier::Copied(const RunItem& item)
{
    if (!Run)
        return;
    Shown.Update(Run->Progress());
    Shown.Copied(item.Plan.Destination);
}

void ExtractCopier::Unconfirmed(int copies, int error)
{
    Shown.Message("varnel-cli: warning: the disk did not confirm the names of " + std::to_string(copies) +
                  (copies == 1 ? " copy" : " copies") + " just put in place (their data was on disk before they "
                  "were named): " + std::strerror(error));
}

void ExtractCopier::Progress(const RunProgress& progress)
{
    if (Run)
        Shown.Update(progress);
}

bool ExtractCopier::StopRequested()
{
    return Interrupted();
}
