#pragma once

#include "ArtworkDB.h"
#include "PhotoFormats.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

// The photos a player keeps, read only: the Photo Database at Photos/Photo Database below the
// player's root, the stored sizes in Photos/Thumbs/*.ithmb, the full-size originals (where the
// user had them kept) in Photos/Full Resolution/. Every path is looked up without regard to
// letter case and never leads out of the Photos folder.
class PhotoLibrary {
public:
    // Reads the database of the player whose file system is mounted at `root`. A player without
    // a Photo Database holds no photos, without a problem; a database that cannot be read gives
    // none and a reason; a damaged one the photos it could read and a warning.
    explicit PhotoLibrary(const std::string& root);
    ~PhotoLibrary();
    PhotoLibrary(const PhotoLibrary&) = delete;
    PhotoLibrary& operator=(const PhotoLibrary&) = delete;

    // Whether the player has a Photo Database, and whether it was read (perhaps damaged).
    bool Found() const { return !PhotosFolder.empty(); }
    bool Read() const { return WasRead; }
    // Why the photos are missing or incomplete, once for the whole database; empty when none are.
    const std::string& Problem() const { return Why; }
    PhotoPlayer Player() const { return Model; }
    const std::vector<PhotoAlbum>& Albums() const { return Database.Albums; }
    const std::vector<ArtworkImage>& Photos() const { return Database.Photos; }
    const ArtworkImage* PhotoById(std::uint32_t id) const;

    // The stored sizes whose layout this player's model (or their bytes) tells, largest first.
    std::vector<const Thumbnail*> Sizes(const ArtworkImage& photo) const;
    // The full path of the photo's original, when the database names one and it is there.
    std::optional<std::string> OriginalPath(const ArtworkImage& photo) const;
    // A stored name as a path below the player's root: ":Full Resolution:2007:IMG_0012.jpg"
    // as "Photos/Full Resolution/2007/IMG_0012.jpg".
    static std::string PathBelowRoot(const std::string& storedName);
    // The largest stored size that decodes, as JPEG of quality 95. Empty, with the reason in
    // `why`, when no size can be read or decoded.
    std::vector<unsigned char> Jpeg(const ArtworkImage& photo, std::string& why);

private:
    bool ReadPixels(const Thumbnail& thumbnail, std::vector<unsigned char>& bytes, std::string& why);
    int OpenStoredFile(const std::string& storedName);
    std::optional<std::string> StoredPath(const std::string& storedName) const;

    std::string PhotosFolder;
    std::string Why;
    bool WasRead = false;
    PhotoPlayer Model = PhotoPlayer::Unknown;
    PhotoDatabase Database;
    std::map<std::uint32_t, std::size_t> ById;
    std::map<std::string, int> OpenFiles; // by stored name; -1 when it cannot be opened
};
