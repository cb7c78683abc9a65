#include "FolderTemplate.h"

#include "CliError.h"
#include "ExtraPlaceholders.h"
#include "FileNameTemplate.h"
#include "TextConvert.h"

FolderTemplate::FolderTemplate(std::string_view fileFormat)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = fileFormat.find('/', start);
        const std::string_view part = fileFormat.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (part.empty() && !fileFormat.empty())
            throw CliError("--template: \"" + std::string(fileFormat) + "\" has an empty folder or file name part");
        if (slash == std::string_view::npos) {
            FileName = part;
            return;
        }
        Folders.emplace_back(part);
        start = slash + 1;
    }
}

TrackCopyPlan FolderTemplate::Plan(const OneTrack& track, std::string_view playerRoot,
                                   std::string_view destinationFolder) const
{
    std::string folder(destinationFolder);
    for (const std::string& part : Folders) {
        std::u16string name = FitFileName(BuildTrackFileName(track, ExpandExtraPlaceholders(track, part)), 0);
        const bool unusable = name.empty() || name == u"." || name == u"..";
        UnhideName(name);
        folder = JoinPath(folder, unusable ? std::string("_") : NarrowFromWide(name));
    }
    // A name that the placeholders leave empty is the player file's own, as "." makes it.
    const std::string fileName = ExpandExtraPlaceholders(track, FileName);
    TrackCopyPlan plan = PlanTrackCopy(track, playerRoot, folder, fileName.empty() && !FileName.empty() ? "." : fileName);
    if (!plan.Name.empty() && plan.Name.front() == u'.') {
        UnhideName(plan.Name);
        plan.Destination = JoinPath(folder, NarrowFromWide(plan.Name) + plan.Extension);
    }
    return plan;
}
