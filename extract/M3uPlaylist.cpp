#include "M3uPlaylist.h"

#include "OneTrack.h"
#include "TextConvert.h"

#include <filesystem>

namespace {

// A text for one line of the playlist.
std::string LineText(std::u16string_view text)
{
    std::u16string units;
    units.reserve(text.size());
    for (const char16_t unit : text) {
        if (unit != u'\0')
            units += unit < u' ' || unit == u'\x7F' ? u' ' : unit;
    }
    return NarrowFromWide(units);
}

} // namespace

std::string M3uText(const std::vector<M3uEntry>& entries)
{
    std::string text = "#EXTM3U\n";
    for (const M3uEntry& entry : entries) {
        const std::string artist = LineText(entry.Track->GetArtist());
        text += "#EXTINF:" + std::to_string(entry.Track->GetLengthSeconds()) + ",";
        if (!artist.empty())
            text += artist + " - ";
        text += LineText(entry.Track->GetTitle()) + "\n";
        std::string path = entry.Path;
        for (char& c : path) {
            if (c == '\n' || c == '\r')
                c = ' '; // names hold no control characters; a path from elsewhere might
        }
        text += path + "\n";
    }
    return text;
}

std::string PathFromFolder(const std::string& folder, const std::string& file)
{
    const std::filesystem::path from = std::filesystem::path(folder).lexically_normal();
    const std::filesystem::path to = std::filesystem::path(file).lexically_normal();
    const std::filesystem::path relative = to.lexically_relative(from);
    return (relative.empty() ? to : relative).generic_string();
}
