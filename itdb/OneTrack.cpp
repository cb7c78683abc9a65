#include "OneTrack.h"

#include <algorithm>
#include <cstring>
#include <utility>

OneTrack::OneTrack(std::pmr::memory_resource* texts) : Texts(texts), TrackType("Unknown")
{
    SetLength(0);
}

OneTrack::~OneTrack()
{
    ReleaseAll();
}

OneTrack::OneTrack(OneTrack&& other) noexcept
    : Texts(other.Texts), Title(std::exchange(other.Title, {})), Artist(std::exchange(other.Artist, {})),
      Album(std::exchange(other.Album, {})), Genre(std::exchange(other.Genre, {})),
      Composer(std::exchange(other.Composer, {})), AlbumArtist(std::exchange(other.AlbumArtist, {})),
      Comment(std::exchange(other.Comment, {})), Encoding(std::exchange(other.Encoding, {})),
      Location(std::exchange(other.Location, {})), TrackType(other.TrackType), LengthTextSize(other.LengthTextSize),
      LengthSeconds(other.LengthSeconds), LengthMilliseconds(other.LengthMilliseconds), BitRate(other.BitRate), SampleRate(other.SampleRate),
      TrackNumber(other.TrackNumber), TrackId(other.TrackId), Ordinal(other.Ordinal),
      Details(other.Details), Source(other.Source)
{
    std::memcpy(LengthText, other.LengthText, sizeof LengthText);
}

OneTrack& OneTrack::operator=(OneTrack&& other) noexcept
{
    if (this != &other) {
        ReleaseAll();
        Texts = other.Texts;
        Title = std::exchange(other.Title, {});
        Artist = std::exchange(other.Artist, {});
        Album = std::exchange(other.Album, {});
        Genre = std::exchange(other.Genre, {});
        Composer = std::exchange(other.Composer, {});
        AlbumArtist = std::exchange(other.AlbumArtist, {});
        Comment = std::exchange(other.Comment, {});
        Encoding = std::exchange(other.Encoding, {});
        Location = std::exchange(other.Location, {});
        TrackType = other.TrackType;
        std::memcpy(LengthText, other.LengthText, sizeof LengthText);
        LengthTextSize = other.LengthTextSize;
        LengthSeconds = other.LengthSeconds;
        LengthMilliseconds = other.LengthMilliseconds;
        BitRate = other.BitRate;
        SampleRate = other.SampleRate;
        TrackNumber = other.TrackNumber;
        TrackId = other.TrackId;
        Ordinal = other.Ordinal;
        Details = other.Details;
        Source = other.Source;
    }
    return *this;
}

template <class Char>
void OneTrack::Assign(Text<Char>& text, std::basic_string_view<Char> value)
{
    // The new characters are copied before the old ones go, so a value taken from this very
    // text stays valid while it is copied.
    Text<Char> fresh;
    if (!value.empty()) {
        fresh.Data = static_cast<Char*>(Texts->allocate(value.size() * sizeof(Char), alignof(Char)));
        std::memcpy(fresh.Data, value.data(), value.size() * sizeof(Char));
        fresh.Size = static_cast<std::uint32_t>(value.size());
    }
    Release(text);
    text = fresh;
}

template <class Char>
void OneTrack::Release(Text<Char>& text)
{
    if (text.Data)
        Texts->deallocate(text.Data, text.Size * sizeof(Char), alignof(Char));
    text = {};
}

void OneTrack::ReleaseAll()
{
    Release(Title);
    Release(Artist);
    Release(Album);
    Release(Genre);
    Release(Composer);
    Release(AlbumArtist);
    Release(Comment);
    Release(Encoding);
    Release(Location);
}

void OneTrack::SetTitle(std::u16string_view title) { Assign(Title, title); }
void OneTrack::SetArtist(std::u16string_view artist) { Assign(Artist, artist); }
void OneTrack::SetAlbum(std::u16string_view album) { Assign(Album, album); }
void OneTrack::SetGenre(std::u16string_view genre) { Assign(Genre, genre); }
void OneTrack::SetComposer(std::u16string_view composer) { Assign(Composer, composer); }
void OneTrack::SetAlbumArtist(std::u16string_view albumArtist) { Assign(AlbumArtist, albumArtist); }
void OneTrack::SetComment(std::u16string_view comment) { Assign(Comment, comment); }
void OneTrack::SetEncoding(std::string_view encoding) { Assign(Encoding, encoding); }

void OneTrack::SetLocation(std::string_view location)
{
    Assign(Location, location);
    std::replace(Location.Data, Location.Data + Location.Size, ':', '\\');
}

void OneTrack::SetLength(std::uint32_t milliseconds)
{
    LengthMilliseconds = milliseconds;
    const std::uint32_t total = milliseconds / 1000;
    LengthSeconds = static_cast<std::int32_t>(total);

    const unsigned s = total % 60;
    const unsigned m = (total / 60) % 60;
    const unsigned h = (total / 3600) % 24;
    const unsigned d = total / 86400;

    // Built by hand: this runs once per track of a database of tens of thousands.
    char text[32];
    char* o = text;
    auto number = [&o](unsigned v) {
        char digits[10];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v);
        while (n)
            *o++ = digits[--n];
    };
    auto twoDigits = [&o](unsigned v) {
        *o++ = static_cast<char>('0' + v / 10);
        *o++ = static_cast<char>('0' + v % 10);
    };
    if (d > 0) {
        number(d);
        *o++ = 'd';
        *o++ = ' ';
        twoDigits(h);
        *o++ = ':';
        twoDigits(m);
    } else if (h > 0) {
        number(h);
        *o++ = ':';
        twoDigits(m);
    } else {
        number(m);
    }
    *o++ = ':';
    twoDigits(s);
    LengthTextSize = static_cast<std::uint8_t>(o - text);
    std::memcpy(LengthText, text, LengthTextSize);
}

void OneTrack::SetMediaType(std::int32_t code)
{
    switch (code) {
    case 0: TrackType = "Audio/Video"; break;
    case 1: TrackType = "Audio"; break;
    case 2: TrackType = "Video"; break;
    case 4: TrackType = "Podcase"; break;
    case 6: TrackType = "Video Podcast"; break;
    case 8: TrackType = "Audiobook"; break;
    case 32: TrackType = "Music Video"; break;
    case 64: TrackType = "TV Show"; break;
    case 96: TrackType = "Music TV Show"; break;
    default: TrackType = "Unknown"; break;
    }
}

void OneTrack::SetSampleRate(std::int32_t stored)
{
    SampleRate = static_cast<std::int32_t>(static_cast<std::uint32_t>(stored) >> 16);
}

void OneTrack::SetBitRate(std::int32_t bitRate) { BitRate = bitRate; }
void OneTrack::SetTrackNumber(std::int32_t trackNumber) { TrackNumber = trackNumber; }
void OneTrack::SetTrackId(std::int32_t trackId) { TrackId = trackId; }
void OneTrack::SetOrdinal(std::int32_t ordinal) { Ordinal = ordinal; }
