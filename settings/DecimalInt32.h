#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

// Reads `text` as a decimal 32-bit signed integer: an optional minus sign followed by at least
// one decimal digit, nothing else (no blanks, no plus sign, no hexadecimal). Text that does not
// have that form, or a number outside the 32-bit range, gives no value.
inline std::optional<std::int32_t> ParseDecimalInt32(std::string_view text)
{
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}
