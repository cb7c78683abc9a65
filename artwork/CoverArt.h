#pragma once

#include "ArtworkDB.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

struct TrackDetails;

// The album covers that the player keeps only in its artwork database, as JPEG files for the
// copies. The database is read at the first question; a damaged or missing one gives no covers
// (and a reason in Problem), never a failure.
//
// A track finds its image item through the item id that newer track headers carry, and otherwise
// (older headers, or an id of 0) through the track's database id, which the item of older players
// names. Its cover is the largest RGB565 thumbnail of the item that decodes, cropped to the
// picture, encoded once per item at JPEG quality 90.
class CoverArt {
public:
    // `artworkDatabase` is the path of the ArtworkDB file; empty when the player has none. The
    // thumbnail files are looked for in the same folder, without regard to letter case.
    explicit CoverArt(std::string artworkDatabase);
    ~CoverArt();
    CoverArt(const CoverArt&) = delete;
    CoverArt& operator=(const CoverArt&) = delete;

    // The JPEG bytes of the track's cover, valid while this object lives; empty when it has none.
    std::span<const unsigned char> CoverFor(const TrackDetails& details);
    // Why the artwork database gave no covers; empty when it was read or there is none.
    const std::string& Problem() const { return Why; }

private:
    void Load();
    const ArtworkImage* ImageFor(const TrackDetails& details) const;
    std::vector<unsigned char> Encode(const ArtworkImage& image);
    // The pixels of one thumbnail, read from its file; false when they cannot be read.
    bool ReadPixels(const Thumbnail& thumbnail, std::vector<unsigned char>& bytes);
    int OpenThumbnailFile(const std::string& storedName);

    std::string DatabasePath;
    std::string Folder;
    bool Loaded = false;
    std::string Why;
    std::vector<ArtworkImage> Images;
    std::map<std::uint32_t, std::size_t> ById;
    std::map<std::uint64_t, std::size_t> ByTrack;
    std::map<std::uint32_t, std::vector<unsigned char>> Jpegs; // by image id
    std::map<std::string, std::string> FolderNames;            // lower case to the name on disk
    std::map<std::string, int> OpenFiles;                      // by stored name; -1 when unreadable
};
