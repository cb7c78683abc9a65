#include "FileNameTemplate.h"

#include "ForbiddenFileNameChars.h"
#include "OneTrack.h"
#include "TextConvert.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

char16_t FoldAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Cuts `text` where the working area ends: at its first zero unit, and at kNameAreaUnits.
void FitArea(std::u16string& text)
{
    const std::size_t zero = text.find(u'\0');
    if (zero != std::u16string::npos)
        text.resize(zero);
    if (text.size() > kNameAreaUnits) {
        std::size_t keep = kNameAreaUnits;
        if (IsHighSurrogate(text[keep - 1]))
            --keep;
        text.resize(keep);
    }
}

std::u16string_view Trimmed(std::u16string_view text)
{
    while (!text.empty() && text.front() <= u' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() <= u' ')
        text.remove_suffix(1);
    return text;
}

std::u16string Decimal(std::int32_t value)
{
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

std::optional<std::size_t> FindNoCase(std::u16string_view text, std::size_t start, std::u16string_view pattern)
{
    if (pattern.empty() || pattern.size() > text.size())
        return std::nullopt;
    const std::size_t last = text.size() - pattern.size();
    for (std::size_t p = start; p <= last; ++p) {
        std::size_t i = 0;
        while (i < pattern.size() && FoldAscii(text[p + i]) == FoldAscii(pattern[i]))
            ++i;
        if (i == pattern.size())
            return p;
    }
    return std::nullopt;
}

std::u16string ReplaceAllNoCase(std::u16string_view text, std::u16string_view pattern, std::u16string_view value)
{
    std::u16string result;
    result.reserve(std::min(text.size(), kNameAreaUnits + 1));
    std::size_t scan = 0;
    while (scan < text.size()) {
        const std::optional<std::size_t> found = FindNoCase(text, scan, pattern);
        if (!found)
            break;
        result.append(text.substr(scan, *found - scan));
        result.append(value);
        scan = *found + pattern.size();
        // Whatever follows no longer fits the area.
        if (result.size() > kNameAreaUnits)
            break;
    }
    if (scan < text.size() && result.size() <= kNameAreaUnits)
        result.append(text.substr(scan));
    FitArea(result);
    return result;
}

std::u16string BuildTrackFileName(const OneTrack& track, std::string_view fileFormat)
{
    std::u16string name = WideFromNarrow(fileFormat.empty() ? kDefaultFileFormat : fileFormat);

    const std::array<std::pair<std::u16string_view, std::u16string>, 5> placeholders = {{
        {u"%tracknumber%", Decimal(track.GetTrackNumber())},
        {u"%title%", std::u16string(Trimmed(track.GetTitle()))},
        {u"%artist%", std::u16string(Trimmed(track.GetArtist()))},
        {u"%album%", std::u16string(Trimmed(track.GetAlbum()))},
        {u"%autonumber%", Decimal(track.GetOrdinal())},
    }};
    for (const auto& [pattern, value] : placeholders)
        name = ReplaceAllNoCase(name, pattern, value);
    CleanFileNamePart(name);
    return name;
}

void CleanFileNamePart(std::u16string& name)
{
    for (char16_t& unit : name) {
        // A target formatted FAT refuses control characters and DEL in names, as the player's own
        // does. The C1 controls and the line and paragraph separators are legal there and stay.
        if (unit < u' ' || unit == 0x7F || (unit < 0x80 && ForbiddenFileNameChars.find(static_cast<char>(unit)) != std::string_view::npos))
            unit = u'_';
    }
}
