#pragma once

#include <string>
#include <string_view>

// The bytes of a track list export holding `text`: the byte order mark FF FE, then the text in
// UTF-16 little-endian. Spelled out here so that the tests compare with bytes of their own
// rather than with the product's writer.
inline std::string ExportedBytes(std::u16string_view text)
{
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}
