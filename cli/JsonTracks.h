#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class OneTrack;

// One track as `tracks --format json` prints it: the nine column texts of the track list, then
// every further field the player keeps, texts as strings and numbers as numbers. The location
// is the path below the player's root with "/" separators; the date added is ISO 8601 in UTC,
// or null when the player has none.
nlohmann::ordered_json TrackJson(const OneTrack& track);

// Seconds since 1970 as ISO 8601 in UTC ("2007-06-03T12:22:05Z"); null for none.
nlohmann::ordered_json IsoDate(const std::optional<std::int64_t>& utc);

// Text for standard output. Some players pad their texts with zero units, which text output
// cannot carry; they are left out.
std::string Utf8Text(std::u16string_view text);
