#include "PhotoPlan.h"

#include "ExtractRun.h"
#include "FileNameTemplate.h"
#include "PhotoLibrary.h"
#include "TextConvert.h"
#include "TrackCopyPlan.h"
#include "TrackNames.h"

#include <algorithm>
#include <ctime>
#include <set>

namespace {

// Seconds from 1904-01-01 to 1970-01-01.
constexpr std::int64_t kPlayerEpochToUnix = 2082844800;

std::string LowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// A name fit to stand as one folder or file name: no forbidden characters, and neither empty
// nor hidden ("." and ".." among them), which a "_" before it mends.
std::u16string CleanPart(std::string_view utf8)
{
    std::u16string name = WideFromNarrow(utf8);
    CleanFileNamePart(name);
    if (name.empty() || name.front() == u'.')
        name.insert(name.begin(), u'_');
    return name;
}

// The date as the player's wall clock showed it: it counts local seconds, so no zone applies.
std::string DateName(std::uint32_t playerSeconds)
{
    const std::time_t t = static_cast<std::time_t>(std::int64_t(playerSeconds) - kPlayerEpochToUnix);
    std::tm fields{};
    char text[40];
    if (!::gmtime_r(&t, &fields) || std::strftime(text, sizeof text, "%Y-%m-%d %H.%M.%S", &fields) == 0)
        return {};
    return text;
}

// "IMG_0012.jpg" of ":Full Resolution:2007:06:03:IMG_0012.jpg", as stem and extension.
TrackNameParts OriginalParts(const std::string& folder, const std::string& storedName)
{
    const std::string file = storedName.substr(storedName.find_last_of(':') + 1);
    const std::size_t dot = file.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    std::u16string extension = hasExtension ? WideFromNarrow(file.substr(dot + 1)) : u"";
    CleanFileNamePart(extension);
    return {folder, CleanPart(hasExtension ? file.substr(0, dot) : file),
            hasExtension ? "." + NarrowFromWide(extension) : std::string()};
}

std::optional<std::size_t> ChooseAlbum(const std::vector<PhotoAlbum>& albums, const std::string& name, std::string& problem)
{
    for (std::size_t i = 0; i < albums.size(); ++i) {
        if (albums[i].Name == name)
            return i;
    }
    std::vector<std::size_t> alike;
    for (std::size_t i = 0; i < albums.size(); ++i) {
        if (LowerAscii(albums[i].Name) == LowerAscii(name))
            alike.push_back(i);
    }
    if (alike.size() == 1)
        return alike.front();
    std::string names;
    for (std::size_t i = 0; i < albums.size(); ++i) {
        if (alike.empty() || std::find(alike.begin(), alike.end(), i) != alike.end())
            names += (names.empty() ? "\"" : ", \"") + albums[i].Name + "\"";
    }
    problem = alike.empty() ? "no album is named \"" + name + "\"; the albums are " + (names.empty() ? "none" : names)
                            : "several albums are named \"" + name + "\" but for letter case: " + names;
    return std::nullopt;
}

} // namespace

PhotoPlan PlanPhotoCopies(const PhotoLibrary& library, const std::optional<std::string>& album, bool ignoreCase)
{
    PhotoPlan plan;
    const std::vector<PhotoAlbum>& albums = library.Albums();
    std::optional<std::size_t> only;
    if (album && !(only = ChooseAlbum(albums, *album, plan.Problem)))
        return plan;
    std::set<std::uint32_t> inOtherAlbums;
    for (const PhotoAlbum& each : albums) {
        if (!each.Master)
            inOtherAlbums.insert(each.PhotoIds.begin(), each.PhotoIds.end());
    }
    UniqueNames names(ignoreCase);
    for (std::size_t a = 0; a < albums.size(); ++a) {
        if (only && a != *only)
            continue;
        const std::string folder = NarrowFromWide(CleanPart(albums[a].Name)) + "/";
        int place = 0;
        for (const std::uint32_t id : albums[a].PhotoIds) {
            const ArtworkImage* photo = library.PhotoById(id);
            if (!photo || (albums[a].Master && inOtherAlbums.count(id) != 0))
                continue;
            ++place;
            PhotoCopy copy{photo, {}, library.OriginalPath(*photo).value_or("")};
            if (!copy.Original.empty()) {
                copy.RelativePath = names.Take(OriginalParts(folder, photo->OriginalName));
            } else {
                std::string stem = photo->CreationDate != 0 ? DateName(photo->CreationDate) : "";
                if (stem.empty()) {
                    const std::string number = std::to_string(place);
                    stem = "Photo " + std::string(number.size() < 4 ? 4 - number.size() : 0, '0') + number;
                }
                copy.RelativePath = names.Take({folder, WideFromNarrow(stem), ".jpg"});
            }
            plan.Copies.push_back(std::move(copy));
        }
    }
    return plan;
}

std::vector<RunItem> PhotoRunItems(PhotoLibrary& library, const PhotoPlan& plan, const std::string& destination)
{
    std::vector<RunItem> items;
    items.reserve(plan.Copies.size());
    for (const PhotoCopy& copy : plan.Copies) {
        RunItem& item = items.emplace_back();
        item.What = RunItem::Kind::Photo;
        item.Plan.Destination = JoinPath(destination, copy.RelativePath);
        if (!copy.Original.empty()) {
            item.Plan.Source = copy.Original;
            continue;
        }
        // Decoded and encoded when its turn comes, so that one photo at a time is in memory.
        item.Plan.Source = "photo " + std::to_string(copy.Photo->Id);
        const std::vector<const Thumbnail*> sizes = library.Sizes(*copy.Photo);
        item.Look.Size = sizes.empty() ? 0 : sizes.front()->Size;
        item.Bytes = [&library, photo = copy.Photo](std::string& why) {
            const std::vector<unsigned char> jpeg = library.Jpeg(*photo, why);
            return std::string(jpeg.begin(), jpeg.end());
        };
    }
    return items;
}
