#pragma once

#include <string>
#include <string_view>
#include <vector>

class OneTrack;

// The placeholders that the command line adds to the window's five, for names that sort and
// group the way music programs file a library:
//   %albumartist%   the album artist, or the artist when there is none
//   %genre% %composer% %year% %disc% %disccount%
//   %tracknumber:N% and %disc:N%   padded with zeros to N digits, N from 1 to 99 in one or two
//                                   digits; any other text after the colon is no placeholder
// Texts are trimmed as the window trims them; numbers are 0 when the player has none. Letter
// case does not count ("%Year%" is "%year%"). The window never expands these: its own template
// keeps its rules, where they stand as they are.

// `part` (UTF-8) with the placeholders above replaced, left to right, an inserted value never
// searched again. The window's placeholders, unknown ones and all other text stay for
// BuildTrackFileName, which also cleans the inserted values of forbidden characters.
std::string ExpandExtraPlaceholders(const OneTrack& track, std::string_view part);

// Every placeholder-shaped text of `fileFormat` ("%" letters, an optional ":" and any text, "%")
// that neither the window nor the command line knows, in order of appearance, each once.
std::vector<std::string> UnknownPlaceholders(std::string_view fileFormat);

// The placeholders a command-line template may hold, for messages: "%tracknumber%, ...".
std::string KnownPlaceholderList();

// A name that begins with "." would be hidden on Linux; it begins with "_" instead.
void UnhideName(std::u16string& name);
