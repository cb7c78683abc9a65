#pragma once

#include <string>
#include <string_view>

// Narrow text in Varnel is UTF-8; wide text is UTF-16 as the player stores it.

// UTF-16 to UTF-8, stopping at the first zero unit. An unpaired surrogate becomes U+FFFD.
std::string NarrowFromWide(std::u16string_view wide);
// The same into `out`, reusing its storage.
void NarrowFromWide(std::u16string_view wide, std::string& out);

// UTF-8 to UTF-16. Malformed or overlong sequences become U+FFFD, one per bad byte run.
std::u16string WideFromNarrow(std::string_view narrow);
