#pragma once

#include <string_view>

// The nine characters that may not stand in a file name, in the order in which the file-name
// template replaces them. A file-name template holding any of them is refused by the
// Preferences dialog and reset to its default when the settings are loaded.
inline constexpr std::string_view ForbiddenFileNameChars = "/\\:*?\"<>|";

// True when `text` (UTF-8) holds at least one of ForbiddenFileNameChars. All nine are ASCII and
// UTF-8 never uses ASCII bytes inside a multi-byte sequence, so a byte search is exact.
inline bool ContainsForbiddenFileNameChar(std::string_view text)
{
    return text.find_first_of(ForbiddenFileNameChars) != std::string_view::npos;
}
