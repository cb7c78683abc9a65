#include "CoverArt.h"

#include "OneTrack.h"
#include "PlayerNotes.h"
#include "Thumbnails.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far beyond any player's: a database of 100,000 images is about 30 MB, a thumbnail of
// 720 × 480 RGB565 under 700 kB.
constexpr std::size_t kDatabaseLimit = 256u * 1024 * 1024;
constexpr std::uint32_t kThumbnailLimit = 16u * 1024 * 1024;
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
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!ReadSmallFile(DatabasePath, kDatabaseLimit, bytes, problem)) {
        Told.push_back(problem == kLinkLeadsOut ? LeftOutWarning(DatabasePath, "", problem)
                                                : DatabasePath + ": " + problem + kNoCovers);
        return;
    }
    std::optional<std::vector<ArtworkImage>> images = ReadArtworkDB(bytes);
    if (!images) {
        Told.push_back(DatabasePath + ": not an artwork database, or a damaged one" + kNoCovers);
        return;
    }
    Images = std::move(*images);
    for (std::size_t i = 0; i < Images.size(); ++i) {
        ById.emplace(Images[i].Id, i);
        ByTrack.emplace(Images[i].TrackDatabaseId, i);
    }
    if (DIR* dir = ::opendir(Folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            FolderNames.emplace(Lower(entry->d_name), entry->d_name);
        ::closedir(dir);
    }
}

const ArtworkImage* CoverArt::ImageFor(const TrackDetails& details) const
{
    if (details.ArtworkId && *details.ArtworkId != 0) {
        const auto it = ById.find(*details.ArtworkId);
        return it == ById.end() ? nullptr : &Images[it->second];
    }
    if (details.DatabaseId == 0)
        return nullptr;
    const auto it = ByTrack.find(details.DatabaseId);
    return it == ByTrack.end() ? nullptr : &Images[it->second];
}

CoverJpegBytes CoverArt::CoverFor(const TrackDetails& details)
{
    if (!Loaded)
        Load();
    const ArtworkImage* image = ImageFor(details);
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
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(thumbnail.Offset) + off_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}
