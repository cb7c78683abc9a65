#include "PhotoLibrary.h"

#include "FileIo.h"
#include "PhotoDecoder.h"
#include "PlayerNotes.h"
#include "PlayerPaths.h"
#include "Thumbnails.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far beyond any player's: 10,000 photos take a few MB of database; the largest stored size,
// 720 × 480 in two bytes a pixel, under 700 kB.
constexpr std::size_t kDatabaseLimit = 256u * 1024 * 1024;
constexpr std::uint32_t kStoredSizeLimit = 16u * 1024 * 1024;
constexpr std::size_t kSysInfoLimit = 1024 * 1024;

PhotoPlayer ReadModel(const std::string& root)
{
    for (const char* name : {"iPod_Control/Device/SysInfo", "iPod_Control/Device/SysInfoExtended"}) {
        const std::optional<std::string> path = FindPathNoCase(root, name);
        std::vector<unsigned char> bytes;
        std::string problem;
        if (!path || !ReadSmallFile(*path, kSysInfoLimit, bytes, problem))
            continue;
        const PhotoPlayer player =
            PlayerFromSysInfo(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        if (player != PhotoPlayer::Unknown)
            return player;
    }
    return PhotoPlayer::Unknown;
}

} // namespace

PhotoLibrary::PhotoLibrary(const std::string& root)
{
    const std::optional<std::string> database = FindPathNoCase(root, "Photos/Photo Database");
    if (!database)
        return;
    PhotosFolder = database->substr(0, database->find_last_of('/'));
    Model = ReadModel(root);
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!ReadSmallFile(*database, kDatabaseLimit, bytes, problem)) {
        Why = *database + ": " + problem;
        return;
    }
    std::optional<PhotoDatabase> read = ReadPhotoDB(bytes);
    if (!read) {
        Why = *database + ": not a Photo Database";
        return;
    }
    Database = std::move(*read);
    WasRead = true;
    if (Database.Damaged)
        Why = *database + ": damaged; only the photos and albums before the damage are read";
    for (std::size_t i = 0; i < Database.Photos.size(); ++i)
        ById.emplace(Database.Photos[i].Id, i);
}

PhotoLibrary::~PhotoLibrary()
{
    for (const auto& [name, fd] : OpenFiles) {
        if (fd >= 0)
            ::close(fd);
    }
}

const ArtworkImage* PhotoLibrary::PhotoById(std::uint32_t id) const
{
    const auto it = ById.find(id);
    return it == ById.end() ? nullptr : &Database.Photos[it->second];
}

std::vector<const Thumbnail*> PhotoLibrary::Sizes(const ArtworkImage& photo) const
{
    // By the slot's size, which the format decides, rather than by the recorded dimensions,
    // which a damaged record may get wrong.
    std::vector<std::pair<std::int64_t, const Thumbnail*>> sizes;
    for (const Thumbnail& thumbnail : photo.Thumbnails) {
        if (const std::optional<PhotoSlot> slot = SlotFor(Model, thumbnail))
            sizes.emplace_back(std::int64_t(slot->Width) * slot->Height, &thumbnail);
    }
    std::stable_sort(sizes.begin(), sizes.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<const Thumbnail*> largestFirst;
    for (const auto& [area, thumbnail] : sizes)
        largestFirst.push_back(thumbnail);
    return largestFirst;
}

// ":Thumbs:F1067_1.ithmb" names Photos/Thumbs/F1067_1.ithmb. A name with a slash or backslash,
// or a "." or ".." between the colons, names nothing.
std::optional<std::string> PhotoLibrary::StoredPath(const std::string& storedName) const
{
    if (PhotosFolder.empty() || storedName.find_first_of("/\\") != std::string::npos)
        return std::nullopt;
    std::string relative = storedName;
    std::replace(relative.begin(), relative.end(), ':', '/');
    return FindPathNoCase(PhotosFolder, relative);
}

std::string PhotoLibrary::PathBelowRoot(const std::string& storedName)
{
    std::string path = "Photos/" + storedName.substr(std::min(storedName.find_first_not_of(':'), storedName.size()));
    std::replace(path.begin(), path.end(), ':', '/');
    return path;
}

std::optional<std::string> PhotoLibrary::OriginalPath(const ArtworkImage& photo) const
{
    if (photo.OriginalName.empty())
        return std::nullopt;
    const std::optional<std::string> path = StoredPath(photo.OriginalName);
    struct stat info {};
    if (!path || ::lstat(path->c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return path;
}

int PhotoLibrary::OpenStoredFile(const std::string& storedName)
{
    if (const auto it = OpenFiles.find(storedName); it != OpenFiles.end())
        return it->second;
    int fd = -1;
    if (const std::optional<std::string> path = StoredPath(storedName))
        fd = ::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    struct stat info {};
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    OpenFiles.emplace(storedName, fd);
    return fd;
}

bool PhotoLibrary::ReadPixels(const Thumbnail& thumbnail, std::vector<unsigned char>& bytes, std::string& why)
{
    if (thumbnail.Size == 0 || thumbnail.Size > kStoredSizeLimit) {
        why = "its stored size of " + std::to_string(thumbnail.Size) + " bytes is not one a player writes";
        return false;
    }
    const int fd = OpenStoredFile(thumbnail.FileName);
    if (fd < 0) {
        why = "its file " + thumbnail.FileName + " is missing or cannot be opened";
        return false;
    }
    bytes.resize(thumbnail.Size);
    if (!ReadAllAt(fd, bytes.data(), bytes.size(), off_t(thumbnail.Offset))) {
        why = errno != 0 ? thumbnail.FileName + ": " + std::strerror(errno) : "it lies past the end of " + thumbnail.FileName;
        return false;
    }
    return true;
}

std::vector<unsigned char> PhotoLibrary::Jpeg(const ArtworkImage& photo, std::string& why)
{
    why = "the player keeps no size of it that can be read";
    std::vector<unsigned char> bytes;
    for (const Thumbnail* thumbnail : Sizes(photo)) {
        if (!ReadPixels(*thumbnail, bytes, why))
            continue;
        const std::optional<RgbImage> picture = DecodePhoto(*thumbnail, *SlotFor(Model, *thumbnail), bytes);
        if (!picture) {
            why = "its stored size in " + thumbnail->FileName + " does not decode";
            continue;
        }
        std::vector<unsigned char> jpeg = EncodeJpeg(*picture, 95);
        if (!jpeg.empty()) {
            why.clear();
            return jpeg;
        }
        why = "it could not be encoded as JPEG";
    }
    return {};
}
