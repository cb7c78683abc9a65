#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class OneTrack;

// The file name of an extracted track, expanded from the user's template.

// The template used when the stored one is empty: an empty template would name every copy by
// its extension alone, each replacing the one before.
inline constexpr std::string_view kDefaultFileFormat = "%tracknumber% - %title% - %artist%";

// Every step of the expansion keeps at most this many UTF-16 units; a longer text is cut there
// (never between the two halves of a surrogate pair).
inline constexpr std::size_t kNameAreaUnits = 259;

// The name of `track` (without folder or extension) from `fileFormat` (UTF-8), in this order:
// "%tracknumber%", "%title%", "%artist%", "%album%", "%autonumber%" (placeholders in any letter
// case; texts trimmed of leading and trailing units up to U+0020), then each of the nine
// ForbiddenFileNameChars becomes "_", then every unit below U+0020 becomes "_". Text inserted
// by one step is searched by the later steps but not by its own. An empty `fileFormat` stands
// for kDefaultFileFormat. The result may be empty; it never holds a zero unit.
std::u16string BuildTrackFileName(const OneTrack& track, std::string_view fileFormat);

// Makes `name` fit to stand as one file name part: each of the ForbiddenFileNameChars and each
// unit below U+0020 becomes "_". The expansion above ends with it; the player file's own name
// and extension, used in a copy's name, pass through it too.
void CleanFileNamePart(std::u16string& name);

// `text` with every occurrence of `pattern` (ASCII letters in any case) replaced by `value`,
// scanning left to right and never searching an inserted value. The result is cut at its first
// zero unit and at kNameAreaUnits. An empty pattern replaces nothing.
std::u16string ReplaceAllNoCase(std::u16string_view text, std::u16string_view pattern, std::u16string_view value);

// The first position at or after `start` where `pattern` occurs in `text`, comparing the ASCII
// letters a-z and A-Z without regard to case and every other unit exactly; nullopt when there is
// none or `pattern` is empty.
std::optional<std::size_t> FindNoCase(std::u16string_view text, std::size_t start, std::u16string_view pattern);
