#pragma once

#include <cstdint>
#include <string>

// What one media file's tags and audio properties give, as the tag reader sends it back.
struct TagFields {
    std::u16string Title;
    std::u16string Artist;
    std::u16string Album;
    std::u16string AlbumArtist;
    std::u16string Genre;
    std::u16string Composer;
    std::u16string Comment;
    std::int32_t Year = 0;
    std::int32_t TrackNumber = 0;
    std::int32_t TrackCount = 0;
    std::int32_t DiscNumber = 0;
    std::int32_t DiscCount = 0;
    bool Compilation = false;
    bool Video = false;
    std::uint32_t LengthMs = 0;
    std::int32_t BitRate = 0;
    std::int32_t SampleRate = 0; // 0 for a video without sound
    std::uint64_t FileSize = 0;
    std::string Encoding; // the player's words for the kind of file
};

// How the reading of one file ended.
enum class TagOutcome : std::uint8_t {
    Read,        // the fields hold the file's track
    NotMedia,    // "not a media file that can be read"
    NoAudio,     // "no audio found in it"
    TooLarge,    // "its tags are too large to read safely"
    ReadError,   // the system's reason, from the error number
};

struct TagResult {
    TagOutcome Outcome = TagOutcome::NotMedia;
    int Error = 0; // the errno of a ReadError
    TagFields Fields;
};
