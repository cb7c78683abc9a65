#include "TrackListExport.h"

#include "OneTrack.h"
#include "TextConvert.h"

#include <charconv>

namespace {

// Appends `text` as UTF-16LE, each unit of `Text` (char16_t or plain ASCII char) one unit.
template <class Char>
void AppendUnits(std::string& out, std::basic_string_view<Char> text, bool doubleQuotes)
{
    const std::size_t start = out.size();
    out.resize(start + text.size() * 4); // every unit at most doubled
    char* o = out.data() + start;
    for (const Char c : text) {
        const auto unit = static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(c));
        const int times = doubleQuotes && unit == u'"' ? 2 : 1;
        for (int t = 0; t < times; ++t) {
            *o++ = static_cast<char>(unit & 0xFF);
            *o++ = static_cast<char>(unit >> 8);
        }
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

void AppendAscii(std::string& out, std::string_view text)
{
    AppendUnits(out, text, false);
}

bool IsAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// A field the track holds as UTF-8: widened first unless it is plain ASCII.
void WriteQuotedNarrow(std::string& out, std::string_view text)
{
    AppendAscii(out, "\"");
    if (IsAscii(text))
        AppendUnits(out, text, true);
    else
        AppendUnits(out, std::u16string_view(WideFromNarrow(text)), true);
    AppendAscii(out, "\"");
}

void AppendNumber(std::string& out, std::int32_t value)
{
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    AppendAscii(out, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

} // namespace

void WriteQuotedField(std::string& out, std::u16string_view text)
{
    AppendAscii(out, "\"");
    AppendUnits(out, text, true);
    AppendAscii(out, "\"");
}

void AppendExportHeader(std::string& out)
{
    out += "\xFF\xFE";
    AppendAscii(out, "\"Track Number\",\"Title\",\"Arist\",\"Album\",\"Length\",\"Track Type\",\"Encoding\","
                     "\"Bit Rate\",\"Sample Rate\"\n");
}

// The texts are the track list's cells (TrackCellText), written straight into the file's bytes:
// building nine strings per row would double the time a 50,000-row export takes.
void AppendExportRow(std::string& out, const OneTrack& track)
{
    AppendNumber(out, track.GetTrackNumber());
    AppendAscii(out, ",");
    WriteQuotedField(out, track.GetTitle());
    AppendAscii(out, ",");
    WriteQuotedField(out, track.GetArtist());
    AppendAscii(out, ",");
    WriteQuotedField(out, track.GetAlbum());
    AppendAscii(out, ",");
    WriteQuotedNarrow(out, track.GetLengthText());
    AppendAscii(out, ",");
    WriteQuotedNarrow(out, track.GetTrackType());
    AppendAscii(out, ",");
    WriteQuotedNarrow(out, track.GetEncoding());
    AppendAscii(out, ",\"");
    AppendNumber(out, track.GetBitRate());
    AppendAscii(out, " kBps\",\"");
    AppendNumber(out, track.GetSampleRate());
    AppendAscii(out, " Hz\"\n");
}
