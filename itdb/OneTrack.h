#pragma once

#include <cstdint>
#include <memory_resource>
#include <string>
#include <string_view>

// One track as the player's database describes it. Wide texts (title, artist, album) are UTF-16
// exactly as stored; narrow texts (location, file type, length and type names) are UTF-8.
// Records are filled by ITDBParser and read-only afterwards.
//
// The texts live in the memory resource given at construction: the parser hands every track of a
// database one arena, so that tens of thousands of tracks cost a handful of allocations and are
// released at once.
class OneTrack {
public:
    explicit OneTrack(std::pmr::memory_resource* texts = std::pmr::get_default_resource());

    void SetTitle(std::u16string_view title);
    void SetArtist(std::u16string_view artist);
    void SetAlbum(std::u16string_view album);
    void SetEncoding(std::string_view encoding);
    // The player stores ":iPod_Control:Music:F00:ABCD.mp3"; every colon becomes a backslash.
    void SetLocation(std::string_view location);
    // Milliseconds; sets LengthSeconds and the display text ("12:34", "1:00:00", "1d 01:01:01").
    void SetLength(std::uint32_t milliseconds);
    // Exact codes only; anything unknown reads "Unknown".
    void SetMediaType(std::int32_t code);
    // 16.16 fixed point as stored; keeps the integer part.
    void SetSampleRate(std::int32_t stored);
    void SetBitRate(std::int32_t bitRate);
    void SetTrackNumber(std::int32_t trackNumber);
    void SetTrackId(std::int32_t trackId);
    void SetOrdinal(std::int32_t ordinal);

    std::u16string_view GetTitle() const { return Title; }
    std::u16string_view GetArtist() const { return Artist; }
    std::u16string_view GetAlbum() const { return Album; }
    std::string_view GetLengthText() const { return LengthText; }
    std::string_view GetTrackType() const { return TrackType; }
    std::string_view GetEncoding() const { return Encoding; }
    std::string_view GetLocation() const { return Location; }
    std::int32_t GetLengthSeconds() const { return LengthSeconds; }
    std::int32_t GetBitRate() const { return BitRate; }
    std::int32_t GetSampleRate() const { return SampleRate; }
    std::int32_t GetTrackNumber() const { return TrackNumber; }
    std::int32_t GetTrackId() const { return TrackId; }
    std::int32_t GetOrdinal() const { return Ordinal; }

private:
    std::pmr::u16string Title;
    std::pmr::u16string Artist;
    std::pmr::u16string Album;
    std::pmr::string LengthText; // at most "49d 17:02:47": always fits in place
    std::string_view TrackType;  // one of the fixed names
    std::pmr::string Encoding;
    std::pmr::string Location;
    std::int32_t LengthSeconds = 0;
    std::int32_t BitRate = 0;
    std::int32_t SampleRate = 0;
    std::int32_t TrackNumber = 0;
    std::int32_t TrackId = 0;
    std::int32_t Ordinal = 0;
};
