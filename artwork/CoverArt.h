#pragma once

#include "ArtworkDB.h"
#include "ArtworkIndex.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

struct TrackDetails;

// A cover's JPEG bytes, owned jointly with the cache that made them: they stay valid while the
// handle lives, whatever the cache lets go of meanwhile. Null for no cover.
using CoverJpegBytes = std::shared_ptr<const std::vector<unsigned char>>;

// The album covers that the player keeps only in its artwork database, as JPEG files for the
// copies. The database is read at the first question; a damaged or missing one gives no covers
// (and a warning), never a failure. So does a database or thumbnail file that is a link leading
// out of the player's folder.
//
// A track finds its image item through the item id that newer track headers carry, and otherwise
// (older headers, or an id of 0) through the track's database id, which the item of older players
// names; the first such item in the file. Only an index of the items is kept (see ArtworkIndex.h),
// and an item is read from the file when a track asks for it. Its cover is the largest RGB565 thumbnail of the item that decodes, cropped to the
// picture and encoded at JPEG quality 90. Encoded covers are kept by the thumbnail they come
// from (its file, offset and size), the most recent first, up to a few MiB in all (the most
// recent one is kept even when larger): many items that share one picture cost one encoding
// while it is recent, and memory stays bounded.
class CoverArt {
public:
    // `artworkDatabase` is the path of the ArtworkDB file; empty when the player has none. The
    // thumbnail files are looked for in the same folder, without regard to letter case.
    explicit CoverArt(std::string artworkDatabase, std::size_t cacheBytes = kCacheBytes);
    ~CoverArt();
    CoverArt(const CoverArt&) = delete;
    CoverArt& operator=(const CoverArt&) = delete;

    static constexpr std::size_t kCacheBytes = 4u * 1024 * 1024;

    // The JPEG bytes of the track's cover; null when it has none.
    CoverJpegBytes CoverFor(const TrackDetails& details);
    // What the artwork gave no covers for, one line each: a database that could not be read, a
    // thumbnail file that is a link out of the player. Empty when all was read, or there is none.
    const std::vector<std::string>& Warnings() const { return Told; }
    // The encodings made so far: a measure of the cache's work for tests.
    int Encodings() const { return EncodingCount; }

private:
    struct PictureKey {
        std::string File; // lower case, as on disk
        std::uint32_t Offset = 0, Size = 0;
        std::int32_t Height = 0, Width = 0, VerticalPadding = 0, HorizontalPadding = 0;
        auto operator<=>(const PictureKey&) const = default;
    };
    struct Cached {
        PictureKey Key;
        CoverJpegBytes Jpeg;
    };

    void Load();
    // The track's image item, read from the database; nullopt when it has none that reads whole.
    std::optional<ArtworkImage> ImageFor(const TrackDetails& details);
    CoverJpegBytes Encode(const ArtworkImage& image);
    void Keep(const PictureKey& key, const CoverJpegBytes& jpeg);
    // The pixels of one thumbnail, read from its file; false when they cannot be read.
    bool ReadPixels(const Thumbnail& thumbnail, std::vector<unsigned char>& bytes);
    int OpenThumbnailFile(const std::string& name);
    static std::string FileNameOf(const std::string& storedName);

    std::string DatabasePath;
    std::string Folder;
    std::size_t CacheBytes;
    bool Loaded = false;
    std::vector<std::string> Told;
    int DatabaseFd = -1;
    std::vector<ImageItemPlace> Items;
    // Positions in Items ordered by item id and by track, each equal key in file order.
    std::vector<std::uint32_t> ById, ByTrack;
    std::list<Cached> Recent; // most recent first
    std::map<PictureKey, std::list<Cached>::iterator> ByPicture;
    std::set<PictureKey> Undecodable;
    std::size_t CachedBytes = 0;
    int EncodingCount = 0;
    std::map<std::string, std::string> FolderNames; // lower case to the name on disk
    std::map<std::string, int> OpenFiles;           // by lower-case name; -1 when unreadable
};
