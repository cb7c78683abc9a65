#include "ExtraPlaceholders.h"

#include "OneTrack.h"
#include "TextConvert.h"

#include <algorithm>
#include <array>
#include <optional>

namespace {

enum class Field { Window, AlbumArtist, Genre, Composer, Year, Disc, DiscCount, TrackNumber };

struct Known {
    std::string_view Name;
    Field Value;
    bool Padded; // takes ":N"
};

// In the order the messages list them.
constexpr std::array<Known, 13> kKnown = {{
    {"tracknumber", Field::Window, false},
    {"tracknumber", Field::TrackNumber, true},
    {"title", Field::Window, false},
    {"artist", Field::Window, false},
    {"album", Field::Window, false},
    {"albumartist", Field::AlbumArtist, false},
    {"genre", Field::Genre, false},
    {"composer", Field::Composer, false},
    {"year", Field::Year, false},
    {"disc", Field::Disc, false},
    {"disc", Field::Disc, true},
    {"disccount", Field::DiscCount, false},
    {"autonumber", Field::Window, false},
}};

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A placeholder-shaped text at `at` (which holds a "%"): its name, lower case, what follows a
// ":" (a width of 1 to 99 in one or two digits, or -1 for any other text there) and its length
// in bytes.
struct Token {
    std::string Name;
    std::optional<int> Width;
    std::size_t Length = 0;
};

int WidthOf(std::string_view text)
{
    if (text.empty() || text.size() > 2 || !std::all_of(text.begin(), text.end(), IsDigit))
        return -1;
    const int width = std::stoi(std::string(text));
    return width >= 1 ? width : -1;
}

std::optional<Token> TokenAt(std::string_view text, std::size_t at)
{
    Token token;
    std::size_t i = at + 1;
    while (i < text.size() && IsLetter(text[i]))
        token.Name += static_cast<char>(text[i++] | 0x20);
    if (token.Name.empty() || i >= text.size())
        return std::nullopt;
    if (text[i] == ':') {
        // Whatever stands between the colon and the next "%" is the width, well formed or not,
        // so that "%tracknumber:x%" is refused rather than left in the name.
        const std::size_t start = ++i;
        while (i < text.size() && text[i] != '%' && text[i] != '/')
            ++i;
        if (i >= text.size() || text[i] != '%')
            return std::nullopt;
        token.Width = WidthOf(text.substr(start, i - start));
    }
    if (text[i] != '%')
        return std::nullopt;
    token.Length = i + 1 - at;
    return token;
}

const Known* Lookup(const Token& token)
{
    if (token.Width && *token.Width < 1)
        return nullptr;
    for (const Known& known : kKnown) {
        if (known.Name == token.Name && known.Padded == token.Width.has_value())
            return &known;
    }
    return nullptr;
}

std::string Trimmed(std::u16string_view text)
{
    while (!text.empty() && text.front() <= u' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() <= u' ')
        text.remove_suffix(1);
    return NarrowFromWide(text);
}

std::string Number(std::int32_t value, int width)
{
    std::string digits = std::to_string(value < 0 ? -static_cast<std::int64_t>(value) : value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

std::string Value(const OneTrack& track, Field field, int width)
{
    const TrackDetails& details = track.GetDetails();
    switch (field) {
    case Field::AlbumArtist: {
        std::string albumArtist = Trimmed(track.GetAlbumArtist());
        return albumArtist.empty() ? Trimmed(track.GetArtist()) : albumArtist;
    }
    case Field::Genre: return Trimmed(track.GetGenre());
    case Field::Composer: return Trimmed(track.GetComposer());
    case Field::Year: return Number(details.Year, width);
    case Field::Disc: return Number(details.DiscNumber, width);
    case Field::DiscCount: return Number(details.DiscCount, width);
    case Field::TrackNumber: return Number(track.GetTrackNumber(), width);
    case Field::Window: break;
    }
    return {};
}

} // namespace

std::string ExpandExtraPlaceholders(const OneTrack& track, std::string_view part)
{
    std::string result;
    result.reserve(part.size());
    std::size_t i = 0;
    while (i < part.size()) {
        const std::optional<Token> token = part[i] == '%' ? TokenAt(part, i) : std::nullopt;
        const Known* known = token ? Lookup(*token) : nullptr;
        if (!known || known->Value == Field::Window) {
            // The text up to the next "%" that may start a placeholder; a known window
            // placeholder is passed whole, so that its closing "%" starts nothing.
            const std::size_t end = token && known ? i + token->Length : part.find('%', i + 1);
            result.append(part.substr(i, end == std::string_view::npos ? end : end - i));
            i = end == std::string_view::npos ? part.size() : end;
            continue;
        }
        result += Value(track, known->Value, token->Width.value_or(0));
        i += token->Length;
    }
    return result;
}

std::vector<std::string> UnknownPlaceholders(std::string_view fileFormat)
{
    std::vector<std::string> unknown;
    std::size_t i = fileFormat.find('%');
    while (i != std::string_view::npos) {
        const std::optional<Token> token = TokenAt(fileFormat, i);
        if (token && !Lookup(*token)) {
            std::string text(fileFormat.substr(i, token->Length));
            if (std::find(unknown.begin(), unknown.end(), text) == unknown.end())
                unknown.push_back(std::move(text));
        }
        i = fileFormat.find('%', token ? i + token->Length : i + 1);
    }
    return unknown;
}

std::string KnownPlaceholderList()
{
    std::string list;
    for (const Known& known : kKnown) {
        if (!list.empty())
            list += ", ";
        list += "%" + std::string(known.Name) + (known.Padded ? ":N%" : "%");
    }
    return list;
}

void UnhideName(std::u16string& name)
{
    if (!name.empty() && name.front() == u'.')
        name.front() = u'_';
}
