#include "ListCommands.h"

#include "ITDBParser.h"
#include "TextConvert.h"
#include "TextTable.h"
#include "TrackListExport.h"
#include "TrackRowTexts.h"

#include <nlohmann/json.hpp>

#include <array>
#include <functional>
#include <ostream>
#include <string>

namespace {

// Keys of a track in JSON, in column order.
const std::array<const char*, TrackColumnCount> kTrackJsonKeys = {
    "track_number", "title", "artist", "album", "length",
    "track_type", "encoding", "bit_rate", "sample_rate",
};

// One object or array element per line, so that the output of 50,000 tracks streams out and
// line-oriented tools can still take it apart.
void PrintJsonArray(std::ostream& out, std::size_t count, const std::function<nlohmann::ordered_json(std::size_t)>& element)
{
    out << '[';
    for (std::size_t i = 0; i < count; ++i) {
        out << (i == 0 ? "\n" : ",\n")
            << element(i).dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    }
    out << (count == 0 ? "]\n" : "\n]\n");
}

// Text for standard output. Some players pad their texts with zero units, which text output
// cannot carry; they are left out.
std::string Utf8Text(std::u16string_view text)
{
    std::u16string units(text);
    std::erase(units, u'\0');
    return NarrowFromWide(units);
}

// The exported track list's bytes (UTF-16LE) as UTF-8, so that the CSV on standard output
// follows the export's quoting to the letter.
std::string Utf8FromExportBytes(std::string_view bytes)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return Utf8Text(units);
}

void PrintCsvField(std::ostream& out, std::u16string_view text)
{
    std::string bytes;
    WriteQuotedField(bytes, text);
    out << Utf8FromExportBytes(bytes);
}

bool IsNumberColumn(int column)
{
    return column == ColTrackNumber || column == ColLength || column == ColBitRate || column == ColSampleRate;
}

} // namespace

void PrintTracks(std::ostream& out, const std::vector<const OneTrack*>& rows, OutputFormat format)
{
    switch (format) {
    case OutputFormat::Table: {
        TextTable table;
        for (int c = 0; c < TrackColumnCount; ++c)
            table.AddColumn(kTrackColumnHeaders[c], IsNumberColumn(c) ? TextTable::Right : TextTable::Left);
        for (const OneTrack* track : rows) {
            const auto texts = TrackRowTexts(*track);
            table.AddRow({texts.begin(), texts.end()});
        }
        table.Print(out);
        break;
    }
    case OutputFormat::Csv: {
        std::string bytes;
        AppendExportHeader(bytes);
        out << Utf8FromExportBytes(std::string_view(bytes).substr(2)); // without the byte order mark
        for (const OneTrack* track : rows) {
            bytes.clear();
            AppendExportRow(bytes, *track);
            out << Utf8FromExportBytes(bytes);
        }
        break;
    }
    case OutputFormat::Json:
        PrintJsonArray(out, rows.size(), [&](std::size_t i) {
            nlohmann::ordered_json object;
            const auto texts = TrackRowTexts(*rows[i]);
            for (int c = 0; c < TrackColumnCount; ++c)
                object[kTrackJsonKeys[c]] = Utf8Text(texts[c]);
            object["source"] = rows[i]->GetSource() == TrackSource::Tags ? "tags" : "database";
            return object;
        });
        break;
    }
}

void PrintPlaylists(std::ostream& out, const ITDBParser& parser, OutputFormat format)
{
    const std::vector<OnePlaylist>& playlists = parser.GetPlaylists();
    switch (format) {
    case OutputFormat::Table: {
        TextTable table;
        table.AddColumn(u"Master", TextTable::Left);
        table.AddColumn(u"Items", TextTable::Right);
        table.AddColumn(u"Playlist", TextTable::Left);
        for (const OnePlaylist& playlist : playlists) {
            const std::string items = std::to_string(playlist.ItemCount());
            table.AddRow({playlist.IsMaster() ? u"*" : u"", std::u16string(items.begin(), items.end()), playlist.GetName()});
        }
        table.Print(out);
        break;
    }
    case OutputFormat::Csv:
        out << "\"Playlist\",\"Items\",\"Master\"\n";
        for (const OnePlaylist& playlist : playlists) {
            PrintCsvField(out, playlist.GetName());
            out << ',' << playlist.ItemCount() << ',' << (playlist.IsMaster() ? 1 : 0) << '\n';
        }
        break;
    case OutputFormat::Json:
        PrintJsonArray(out, playlists.size(), [&](std::size_t i) {
            nlohmann::ordered_json object;
            object["name"] = Utf8Text(playlists[i].GetName());
            object["items"] = playlists[i].ItemCount();
            object["master"] = playlists[i].IsMaster();
            return object;
        });
        break;
    }
}
