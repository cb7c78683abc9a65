#include "TrackCopyPlan.h"

#include "ExtraPlaceholders.h"
#include "FileCopy.h"
#include "FileNameTemplate.h"
#include "OneTrack.h"
#include "PlayerPaths.h"
#include "TextConvert.h"
#include "TrackNames.h"

#include <algorithm>

namespace {

// UTF-8 bytes of the character that starts at `text[i]`, and the units it takes.
std::pair<std::size_t, std::size_t> CharacterSize(std::u16string_view text, std::size_t i)
{
    const char16_t u = text[i];
    if (u < 0x80)
        return {1, 1};
    if (u < 0x800)
        return {2, 1};
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
        return {4, 2};
    return {3, 1}; // also an unpaired surrogate, which becomes U+FFFD
}

// The player file's name without its extension: what a copy is called when the template names
// nothing usable.
std::u16string PlayerFileStem(std::string_view location, std::string_view extension)
{
    const std::size_t separator = location.find_last_of("/\\:");
    std::string_view base = separator == std::string_view::npos ? location : location.substr(separator + 1);
    base.remove_suffix(std::min(base.size(), extension.size()));
    return WideFromNarrow(base);
}

} // namespace

std::string PlayerFileExtension(std::string_view path)
{
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos)
        return {};
    const std::size_t separator = path.find_last_of("/\\:");
    if (separator != std::string_view::npos && separator > dot)
        return {};
    return std::string(path.substr(dot));
}

std::u16string FitFileName(std::u16string_view name, std::size_t extensionBytes)
{
    const std::size_t budget = extensionBytes >= kMaxFileNameBytes ? 0 : kMaxFileNameBytes - extensionBytes;
    std::size_t bytes = 0;
    std::size_t i = 0;
    while (i < name.size()) {
        const auto [size, units] = CharacterSize(name, i);
        if (bytes + size > budget)
            break;
        bytes += size;
        i += units;
    }
    return std::u16string(name.substr(0, i));
}

std::string JoinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (path.empty() || path.back() != '/')
        path += '/';
    while (!name.empty() && (name.front() == '/' || name.front() == '\\'))
        name.remove_prefix(1);
    path += name;
    return path;
}

namespace {

// The player's file for `location` ("/"-separated), or why it must not be read.
void PlanSource(TrackCopyPlan& plan, const std::string& location, std::string_view playerRoot,
                const std::function<bool(const std::string& path)>& spelledRight = {})
{
    if (playerRoot.empty()) {
        plan.Refusal = "The player's folder is not known.";
        plan.Source = location;
    } else if (HasDotComponent(location)) {
        plan.Refusal = kLeavesPlayerMessage;
        plan.Source = JoinPath(playerRoot, location);
    } else if (std::string exact = JoinPath(playerRoot, location); spelledRight && spelledRight(exact)) {
        plan.Source = std::move(exact);
    } else {
        const std::string root(playerRoot);
        plan.Source = FindPathNoCase(root, location).value_or(JoinPath(playerRoot, location));
    }
}

std::string SlashedLocation(const OneTrack& track)
{
    std::string location(track.GetLocation());
    std::replace(location.begin(), location.end(), '\\', '/');
    return location;
}

bool Unusable(std::u16string_view name)
{
    return name.empty() || name == u"." || name == u"..";
}

// The player file's extension as a copy may carry it.
std::string CleanExtension(std::string_view location)
{
    std::u16string extension = WideFromNarrow(PlayerFileExtension(location));
    CleanFileNamePart(extension);
    return NarrowFromWide(FitFileName(extension, kMaxFileNameBytes - kMaxExtensionBytes));
}

} // namespace

TrackNameParts NamePartsOf(const OneTrack& track, std::string_view fileFormat, bool slashMakesFolders)
{
    const std::string location = SlashedLocation(track);
    TrackNameParts parts;
    parts.Extension = CleanExtension(location);
    // The command line's templates also take its further placeholders; a part they leave empty
    // is unusable, as "." is.
    const auto expand = [&](std::string_view part) {
        std::string expanded = slashMakesFolders ? ExpandExtraPlaceholders(track, part) : std::string(part);
        return expanded.empty() && !part.empty() ? std::string(".") : expanded;
    };
    if (slashMakesFolders) {
        for (std::size_t slash = fileFormat.find('/'); slash != std::string_view::npos; slash = fileFormat.find('/')) {
            std::u16string folder = FitFileName(BuildTrackFileName(track, expand(fileFormat.substr(0, slash))), 0);
            const bool unusable = Unusable(folder);
            UnhideName(folder);
            parts.Folders += unusable ? std::string("_") : NarrowFromWide(folder);
            parts.Folders += '/';
            fileFormat.remove_prefix(slash + 1);
        }
    }
    std::u16string stem = BuildTrackFileName(track, expand(fileFormat));
    if (Unusable(stem)) {
        stem = PlayerFileStem(location, PlayerFileExtension(location));
        CleanFileNamePart(stem);
    }
    if (stem.empty() && parts.Extension.empty())
        stem.push_back(u'_');
    if (slashMakesFolders)
        UnhideName(stem);
    parts.Stem = FitFileName(stem, parts.Extension.size());
    return parts;
}

TrackCopyPlan PlanTrackCopy(const OneTrack& track, std::string_view playerRoot, std::string_view destinationFolder,
                            const TrackNames& names, const std::function<bool(const std::string& path)>& spelledRight)
{
    TrackCopyPlan plan;
    const std::string location = SlashedLocation(track);
    PlanSource(plan, location, playerRoot, spelledRight);
    const std::string& relative = names.RelativePath(track);
    if (relative.empty() && plan.Refusal.empty())
        plan.Refusal = "The track is not one of the open database's.";
    plan.Extension = CleanExtension(location);
    const std::size_t slash = relative.find_last_of('/');
    const std::string_view fileName = std::string_view(relative).substr(slash == std::string::npos ? 0 : slash + 1);
    plan.Name = WideFromNarrow(fileName.substr(0, fileName.size() - std::min(fileName.size(), plan.Extension.size())));
    plan.Destination = JoinPath(destinationFolder, relative);
    return plan;
}

TrackCopyPlan PlanTrackCopy(const OneTrack& track, std::string_view playerRoot, std::string_view destinationFolder,
                            std::string_view fileFormat)
{
    TrackCopyPlan plan;
    PlanSource(plan, SlashedLocation(track), playerRoot);
    TrackNameParts parts = NamePartsOf(track, fileFormat, false);
    plan.Extension = std::move(parts.Extension);
    plan.Name = std::move(parts.Stem);
    plan.Destination = JoinPath(destinationFolder, NarrowFromWide(plan.Name) + plan.Extension);
    return plan;
}
