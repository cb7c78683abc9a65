#include "PhotoCommands.h"

#include "CliError.h"
#include "JsonTracks.h"
#include "PhotoLibrary.h"
#include "PlayerClock.h"
#include "TextConvert.h"
#include "TextTable.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iostream>
#include <sys/stat.h>

namespace {

nlohmann::ordered_json PhotoJson(const PhotoLibrary& library, const ArtworkImage& photo, PlayerClock& clock)
{
    nlohmann::ordered_json object;
    object["id"] = photo.Id;
    object["date"] = IsoDate(clock.ToUtc(photo.CreationDate));
    nlohmann::ordered_json sizes = nlohmann::ordered_json::array();
    for (const Thumbnail& size : photo.Thumbnails) {
        sizes.push_back({{"format", size.Format},
                         {"width", std::max(0, size.Width - size.HorizontalPadding)},
                         {"height", std::max(0, size.Height - size.VerticalPadding)}});
    }
    object["sizes"] = std::move(sizes);
    object["original"] = library.OriginalPath(photo) ? nlohmann::ordered_json(PhotoLibrary::PathBelowRoot(photo.OriginalName))
                                                     : nlohmann::ordered_json(nullptr);
    return object;
}

// The album's photos that the database holds (a damaged one may have lost some).
std::vector<const ArtworkImage*> AlbumPhotos(const PhotoLibrary& library, const PhotoAlbum& album)
{
    std::vector<const ArtworkImage*> photos;
    for (const std::uint32_t id : album.PhotoIds) {
        if (const ArtworkImage* photo = library.PhotoById(id))
            photos.push_back(photo);
    }
    return photos;
}

// "yes" when every photo of the album has its original on the player, "some", or "no".
std::u16string OriginalsKept(const PhotoLibrary& library, const std::vector<const ArtworkImage*>& photos)
{
    const auto kept = std::count_if(photos.begin(), photos.end(),
                                    [&](const ArtworkImage* photo) { return library.OriginalPath(*photo).has_value(); });
    return kept == 0 ? u"no" : std::size_t(kept) == photos.size() ? u"yes" : u"some";
}

} // namespace

int RunPhotos(std::ostream& out, const std::string& player, OutputFormat format)
{
    struct stat info {};
    if (::stat(player.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw CliError(player + ": not a folder; give the mount point of the player");
    const PhotoLibrary library(player);
    if (library.Found() && !library.Read())
        throw CliError(library.Problem());
    if (!library.Problem().empty())
        std::cerr << "varnel-cli: " << library.Problem() << '\n';
    else if (library.Photos().empty())
        std::cerr << "varnel-cli: " << player << ": this player holds no photos\n";

    if (format == OutputFormat::Json) {
        PlayerClock clock;
        out << "{\"albums\": [";
        bool first = true;
        for (const PhotoAlbum& album : library.Albums()) {
            nlohmann::ordered_json object;
            object["name"] = album.Name;
            object["photos"] = nlohmann::ordered_json::array();
            for (const ArtworkImage* photo : AlbumPhotos(library, album))
                object["photos"].push_back(PhotoJson(library, *photo, clock));
            // One album a line, so that large libraries stream out.
            out << (first ? "\n" : ",\n") << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
            first = false;
        }
        out << (first ? "]}\n" : "\n]}\n");
    } else {
        TextTable table;
        table.AddColumn(u"Master", TextTable::Left);
        table.AddColumn(u"Photos", TextTable::Right);
        table.AddColumn(u"Originals", TextTable::Left);
        table.AddColumn(u"Album", TextTable::Left);
        for (const PhotoAlbum& album : library.Albums()) {
            const std::vector<const ArtworkImage*> photos = AlbumPhotos(library, album);
            const std::string count = std::to_string(photos.size());
            table.AddRow({album.Master ? u"*" : u"", std::u16string(count.begin(), count.end()),
                          OriginalsKept(library, photos), WideFromNarrow(album.Name)});
        }
        table.Print(out);
    }
    return library.Problem().empty() ? ExitDone : ExitSomeFailed;
}
