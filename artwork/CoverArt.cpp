#include "CoverArt.h"

#include "OneTrack.h"
#include "PlayerNotes.h"
#include "Thumbnails.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far beyond any player's: a database of 100,000 images is about 30 MB, a thumbnail of
// 720 × 480 RGB565 under 700 kB.
constexpr std::size_t kDatabaseLimit = 256u * 1024 * 1024;
constexpr std::uint32_t kThumbnailLimit = 16u * 1024 * 1024;
// An image item of a player holds a few thumbnails in well under a kilobyte.
constexpr std::uint32_t kItemLimit = 1024 * 1024;
constexpr const char* kNoCovers = "; the copies have no covers from it.";

std::string Lower(std::string text)
{
    for (char& c : text)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

} // namespace

CoverArt::CoverArt(std::string artworkDatabase, std::size_t cacheBytes)
    : DatabasePath(std::move(artworkDatabase)), CacheBytes(cacheBytes)
{
    const std::size_t slash = DatabasePath.find_last_of('/');
    Folder = slash == std::string::npos ? "." : DatabasePath.substr(0, slash);
}

CoverArt::~CoverArt()
{
    if (DatabaseFd >= 0)
        ::close(DatabaseFd);
    for (const auto& [name, fd] : OpenFiles) {
        if (fd >= 0)
            ::close(fd);
    }
}

void CoverArt::Load()
{
    Loaded = true;
    if (DatabasePath.empty())
        return;
    std::string problem;
    DatabaseFd = OpenPlayerFile(DatabasePath, problem);
    struct stat info {};
    if (DatabaseFd >= 0 && (::fstat(DatabaseFd, &info) != 0 || !S_ISREG(info.st_mode)))
        problem = "not a regular file";
    else if (DatabaseFd >= 0 && std::uint64_t(info.st_size) > kDatabaseLimit)
        problem = "too large";
    if (!problem.empty()) {
        Told.push_back(problem == kLinkLeadsOut ? LeftOutWarning(DatabasePath, "", problem)
                                                : DatabasePath + ": " + problem + kNoCovers);
        return;
    }
    std::optional<std::vector<ImageItemPlace>> items = IndexArtworkDB(DatabaseFd, std::uint64_t(info.st_size));
    if (!items) {
        Told.push_back(DatabasePath + ": not an artwork database, or a damaged one" + kNoCovers);
        return;
    }
    Items = std::move(*items);
    for (std::uint32_t i = 0; i < Items.size(); ++i)
        ById.push_back(i);
    ByTrack = ById;
    std::stable_sort(ById.begin(), ById.end(), [this](std::uint32_t a, std::uint32_t b) { return Items[a].Id < Items[b].Id; });
    std::stable_sort(ByTrack.begin(), ByTrack.end(), [this](std::uint32_t a, std::uint32_t b) {
        return Items[a].TrackDatabaseId < Items[b].TrackDatabaseId;
    });
    if (DIR* dir = ::opendir(Folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            FolderNames.emplace(Lower(entry->d_name), entry->d_name);
        ::closedir(dir);
    }
}

std::optional<ArtworkImage> CoverArt::ImageFor(const TrackDetails& details)
{
    const bool byId = details.ArtworkId && *details.ArtworkId != 0;
    if (!byId && details.DatabaseId == 0)
        return std::nullopt;
    const std::uint64_t key = byId ? *details.ArtworkId : details.DatabaseId;
    const auto keyOf = [this, byId](std::uint32_t i) { return byId ? Items[i].Id : Items[i].TrackDatabaseId; };
    const std::vector<std::uint32_t>& order = byId ? ById : ByTrack;
    const auto it = std::partition_point(order.begin(), order.end(), [&](std::uint32_t i) { return keyOf(i) < key; });
    if (it == order.end() || keyOf(*it) != key || Items[*it].Length > kItemLimit)
        return std::nullopt;
    std::vector<unsigned char> bytes(Items[*it].Length);
    if (!ReadAt(DatabaseFd, Items[*it].Offset, bytes))
        return std::nullopt;
    return ReadImageItem(bytes);
}

CoverJpegBytes CoverArt::CoverFor(const TrackDetails& details)
{
    if (!Loaded)
        Load();
    const std::optional<ArtworkImage> image = ImageFor(details);
    return image ? Encode(*image) : nullptr;
}

CoverJpegBytes CoverArt::Encode(const ArtworkImage& image)
{
    std::vector<const Thumbnail*> largestFirst;
    for (const Thumbnail& thumbnail : image.Thumbnails) {
        if (IsRgb565Format(thumbnail.Format))
            largestFirst.push_back(&thumbnail);
    }
    std::stable_sort(largestFirst.begin(), largestFirst.end(), [](const Thumbnail* a, const Thumbnail* b) {
        return std::int64_t(a->Width) * a->Height > std::int64_t(b->Width) * b->Height;
    });
    for (const Thumbnail* thumbnail : largestFirst) {
        const PictureKey key{FileNameOf(thumbnail->FileName), thumbnail->Offset, thumbnail->Size, thumbnail->Height,
                             thumbnail->Width, thumbnail->VerticalPadding, thumbnail->HorizontalPadding};
        if (Undecodable.contains(key))
            continue;
        if (const auto it = ByPicture.find(key); it != ByPicture.end()) {
            Recent.splice(Recent.begin(), Recent, it->second);
            return it->second->Jpeg;
        }
        std::optional<RgbImage> decoded;
        {
            std::vector<unsigned char> bytes;
            if (ReadPixels(*thumbnail, bytes))
                decoded = DecodeThumbnail(*thumbnail, bytes);
        }
        std::vector<unsigned char> jpeg;
        if (decoded) {
            ++EncodingCount;
            jpeg = EncodeJpeg(*decoded, 90);
        }
        if (jpeg.empty()) {
            Undecodable.insert(key);
            continue;
        }
        auto shared = std::make_shared<const std::vector<unsigned char>>(std::move(jpeg));
        Keep(key, shared);
        return shared;
    }
    return nullptr;
}

void CoverArt::Keep(const PictureKey& key, const CoverJpegBytes& jpeg)
{
    Recent.push_front({key, jpeg});
    ByPicture[key] = Recent.begin();
    CachedBytes += jpeg->size();
    // The most recent stays even when it alone is larger than the bound: the next track most
    // likely shares it.
    while (CachedBytes > CacheBytes && Recent.size() > 1) {
        CachedBytes -= Recent.back().Jpeg->size();
        ByPicture.erase(Recent.back().Key);
        Recent.pop_back();
    }
}

std::string CoverArt::FileNameOf(const std::string& storedName)
{
    // ":F1060_1.ithmb": the name after the last colon.
    return Lower(storedName.substr(storedName.find_last_of(':') + 1));
}

int CoverArt::OpenThumbnailFile(const std::string& name)
{
    if (const auto it = OpenFiles.find(name); it != OpenFiles.end())
        return it->second;
    // A plain file name of the artwork folder, so that a crafted database reaches no other file.
    int fd = -1;
    if (!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos) {
        if (const auto found = FolderNames.find(name); found != FolderNames.end()) {
            const std::string path = Folder + "/" + found->second;
            std::string problem;
            fd = OpenPlayerFile(path, problem);
            if (problem == kLinkLeadsOut)
                Told.push_back(LeftOutWarning(path, "", problem));
        }
    }
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    OpenFiles.emplace(name, fd);
    return fd;
}

bool CoverArt::ReadPixels(const Thumbnail& thumbnail, std::vector<unsigned char>& bytes)
{
    if (thumbnail.Size == 0 || thumbnail.Size > kThumbnailLimit)
        return false;
    const int fd = OpenThumbnailFile(FileNameOf(thumbnail.FileName));
    if (fd < 0)
        return false;
    bytes.resize(thumbnail.Size);
    return ReadAt(fd, thumbnail.Offset, bytes);
}
