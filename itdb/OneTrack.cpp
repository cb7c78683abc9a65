#include "OneTrack.h"

#include <algorithm>

OneTrack::OneTrack(std::pmr::memory_resource* texts)
    : Title(texts), Artist(texts), Album(texts), LengthText("0:00", texts), TrackType("Unknown"),
      Encoding(texts), Location(texts)
{
}

void OneTrack::SetTitle(std::u16string_view title) { Title.assign(title); }
void OneTrack::SetArtist(std::u16string_view artist) { Artist.assign(artist); }
void OneTrack::SetAlbum(std::u16string_view album) { Album.assign(album); }
void OneTrack::SetEncoding(std::string_view encoding) { Encoding.assign(encoding); }

void OneTrack::SetLocation(std::string_view location)
{
    Location.assign(location);
    std::replace(Location.begin(), Location.end(), ':', '\\');
}

void OneTrack::SetLength(std::uint32_t milliseconds)
{
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
    LengthText.assign(text, o);
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
