#include "FolderTemplate.h"

#include "CliError.h"
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
        const std::u16string name = FitFileName(BuildTrackFileName(track, part), 0);
        const bool unusable = name.empty() || name == u"." || name == u"..";
        folder = JoinPath(folder, unusable ? std::string("_") : NarrowFromWide(name));
    }
    return PlanTrackCopy(track, playerRoot, folder, FileName);
}
