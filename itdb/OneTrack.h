#pragma once

#include <cstdint>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>

// One track as the player's database describes it. Records are filled by ITDBParser and
// read-only afterwards.
//
// Two kinds of text:
// - Wide texts (title, artist, album) are UTF-16 exactly as the player stores them, zero units
//   included.
// - Narrow texts (location, file type, length and type names) are UTF-8, the program's narrow
//   text on Linux. The reader narrows the player's UTF-16 location and file type while it reads
//   them (NarrowFromWide in TextConvert.h), stopping at the first zero unit.
//
// The location stays in the player's own form: relative to the player's root, with a backslash
// before each folder ("\iPod_Control\Music\F00\ABCD.mp3"). Nothing in itdb/ treats it as a
// path; it becomes one only where a file on the player is opened, by joining it to the folder
// the player is mounted at with each backslash turned into '/'.
//
// The texts live in the memory resource given at construction: the parser hands every track of a
// database one arena, so that tens of thousands of tracks cost a handful of allocations and are
// released at once. A record is kept small (a text is a pointer and a length) because a large
// player has tens of thousands of them; standard strings on the same arena cost a third more
// memory for a 50,000-track database and were no faster.
// Further fields the player keeps beside the list's columns. A record too short to hold one
// leaves it at its default.
struct TrackDetails {
    std::int32_t Year = 0;
    std::int32_t DiscNumber = 0;
    std::int32_t DiscCount = 0;
    std::int32_t TrackCount = 0;
    std::int32_t Rating = 0; // 0 to 100, 20 a star
    std::int32_t PlayCount = 0;
    std::uint64_t FileSize = 0;
    std::optional<std::int64_t> DateAdded; // seconds since 1970-01-01 UTC
    bool Compilation = false;
};

// Where a record came from: the player's database, or the media file's own tags.
enum class TrackSource : std::uint8_t { Database, Tags };

class OneTrack {
public:
    explicit OneTrack(std::pmr::memory_resource* texts = std::pmr::get_default_resource());
    ~OneTrack();
    // Moving takes the texts together with the resource they live in; records are not copied.
    OneTrack(OneTrack&& other) noexcept;
    OneTrack& operator=(OneTrack&& other) noexcept;
    OneTrack(const OneTrack&) = delete;
    OneTrack& operator=(const OneTrack&) = delete;

    void SetTitle(std::u16string_view title);
    void SetArtist(std::u16string_view artist);
    void SetAlbum(std::u16string_view album);
    void SetGenre(std::u16string_view genre);
    void SetComposer(std::u16string_view composer);
    void SetAlbumArtist(std::u16string_view albumArtist);
    void SetComment(std::u16string_view comment);
    void SetDetails(const TrackDetails& details) { Details = details; }
    void SetSource(TrackSource source) { Source = source; }
    void SetEncoding(std::string_view encoding);
    // The player stores ":iPod_Control:Music:F00:ABCD.mp3"; every colon becomes a backslash.
    void SetLocation(std::string_view location);
    // Milliseconds; sets them, LengthSeconds and the display text ("12:34", "1:00:00", "1d 01:01:01").
    void SetLength(std::uint32_t milliseconds);
    // Exact codes only; anything unknown reads "Unknown".
    void SetMediaType(std::int32_t code);
    // 16.16 fixed point as stored; keeps the integer part.
    void SetSampleRate(std::int32_t stored);
    // A rate in Hz as it is, for a track read from its file's own tags.
    void SetSampleRateHz(std::int32_t hz) { SampleRate = hz; }
    void SetBitRate(std::int32_t bitRate);
    void SetTrackNumber(std::int32_t trackNumber);
    void SetTrackId(std::int32_t trackId);
    void SetOrdinal(std::int32_t ordinal);

    std::u16string_view GetTitle() const { return Title.View(); }
    std::u16string_view GetArtist() const { return Artist.View(); }
    std::u16string_view GetAlbum() const { return Album.View(); }
    std::u16string_view GetGenre() const { return Genre.View(); }
    std::u16string_view GetComposer() const { return Composer.View(); }
    std::u16string_view GetAlbumArtist() const { return AlbumArtist.View(); }
    std::u16string_view GetComment() const { return Comment.View(); }
    const TrackDetails& GetDetails() const { return Details; }
    TrackSource GetSource() const { return Source; }
    std::string_view GetLengthText() const { return {LengthText, LengthTextSize}; }
    std::string_view GetTrackType() const { return TrackType; }
    std::string_view GetEncoding() const { return Encoding.View(); }
    std::string_view GetLocation() const { return Location.View(); }
    std::int32_t GetLengthSeconds() const { return LengthSeconds; }
    std::uint32_t GetLengthMilliseconds() const { return LengthMilliseconds; }
    std::int32_t GetBitRate() const { return BitRate; }
    std::int32_t GetSampleRate() const { return SampleRate; }
    std::int32_t GetTrackNumber() const { return TrackNumber; }
    std::int32_t GetTrackId() const { return TrackId; }
    std::int32_t GetOrdinal() const { return Ordinal; }

private:
    // How the texts are kept, for whoever adds one:
    // - A Text owns its characters alone. Data is null exactly when Size is 0; otherwise Data
    //   came from `Texts` as Size * sizeof(Char) bytes aligned to alignof(Char), and goes back
    //   there with the same size and alignment.
    // - Assign copies the new characters before it releases the old ones, so a view into the
    //   same text may be assigned.
    // - A move takes the texts and the resource together and leaves the source with no texts.
    // So a new text field needs three more lines: taken over in the move constructor and in the
    // move assignment (std::exchange), and released in ReleaseAll. OneTrackTest sets every text
    // and counts that each allocation is returned; set a new one there too.
    template <class Char>
    struct Text {
        Char* Data = nullptr;
        std::uint32_t Size = 0;
        std::basic_string_view<Char> View() const { return {Data, Size}; }
    };
    template <class Char>
    void Assign(Text<Char>& text, std::basic_string_view<Char> value);
    template <class Char>
    void Release(Text<Char>& text);
    void ReleaseAll();

    std::pmr::memory_resource* Texts;
    Text<char16_t> Title;
    Text<char16_t> Artist;
    Text<char16_t> Album;
    Text<char16_t> Genre;
    Text<char16_t> Composer;
    Text<char16_t> AlbumArtist;
    Text<char16_t> Comment;
    Text<char> Encoding;
    Text<char> Location;
    std::string_view TrackType; // one of the fixed names
    char LengthText[15];        // at most "49d 17:02:47"
    std::uint8_t LengthTextSize = 0;
    std::int32_t LengthSeconds = 0;
    std::uint32_t LengthMilliseconds = 0;
    std::int32_t BitRate = 0;
    std::int32_t SampleRate = 0;
    std::int32_t TrackNumber = 0;
    std::int32_t TrackId = 0;
    std::int32_t Ordinal = 0;
    TrackDetails Details;
    TrackSource Source = TrackSource::Database;
};
