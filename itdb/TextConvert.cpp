#include "TextConvert.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;


// Writes the UTF-8 form of `c` at `o` and returns the position after it.
char* AppendUtf8(char* o, char32_t c)
{
    if (c < 0x80) {
        *o++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return o;
}

} // namespace

std::string NarrowFromWide(std::u16string_view wide)
{
    std::string out;
    NarrowFromWide(wide, out);
    out.shrink_to_fit();
    return out;
}

void NarrowFromWide(std::u16string_view wide, std::string& out)
{
    // At most three bytes per unit: a surrogate pair (two units) gives four.
    out.resize(wide.size() * 3);
    char* o = out.data();
    const std::size_t n = wide.size();
    for (std::size_t i = 0; i < n; ++i) {
        // Locations and file types are mostly plain ASCII: take four such units at a time.
        if constexpr (std::endian::native == std::endian::little) {
            while (i + 4 <= n) {
                std::uint64_t v;
                std::memcpy(&v, wide.data() + i, sizeof v);
                const bool ascii = (v & 0xFF80FF80FF80FF80ull) == 0;
                const bool zero = ((v - 0x0001000100010001ull) & ~v & 0x8000800080008000ull) != 0;
                if (!ascii || zero)
                    break;
                o[0] = static_cast<char>(v);
                o[1] = static_cast<char>(v >> 16);
                o[2] = static_cast<char>(v >> 32);
                o[3] = static_cast<char>(v >> 48);
                o += 4;
                i += 4;
            }
            if (i == n)
                break;
        }
        const char16_t u = wide[i];
        if (u < 0x80) {
            if (u == 0)
                break;
            *o++ = static_cast<char>(u);
            continue;
        }
        char32_t c = u;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(wide[i + 1]) - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            c = kReplacement;
        }
        o = AppendUtf8(o, c);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::u16string WideFromNarrow(std::string_view narrow)
{
    std::u16string out;
    out.reserve(narrow.size());
    const auto* p = reinterpret_cast<const unsigned char*>(narrow.data());
    const std::size_t n = narrow.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if ((b & 0xE0) == 0xC0) { extra = 1; c = b & 0x1F; min = 0x80; }
        else if ((b & 0xF0) == 0xE0) { extra = 2; c = b & 0x0F; min = 0x800; }
        else if ((b & 0xF8) == 0xF0) { extra = 3; c = b & 0x07; min = 0x10000; }
        else { out.push_back(char16_t(kReplacement)); ++i; continue; }

        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= n || (p[j] & 0xC0) != 0x80) { ok = false; break; }
            c = (c << 6) | (p[j] & 0x3F);
        }
        if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(char16_t(kReplacement));
            i = ok ? j : (j > i + 1 ? j : i + 1);
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 + (c >> 10)));
            out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
        i = j;
    }
    return out;
}
