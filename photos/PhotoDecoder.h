#pragma once

#include "ArtworkDB.h"
#include "PhotoFormats.h"
#include "Thumbnails.h"

#include <optional>
#include <span>

// The picture of one stored photo size, without its padding. The stored height and width count
// the padding before the picture: the picture lies at rows VerticalPadding to Height - 1 and
// columns HorizontalPadding to Width - 1 of the slot, centred, with as much padding after it.
// Where the recorded padding does not fit the slot, the whole slot is taken and only black rows
// and columns within the padding band (at most the recorded padding, at most half the slot) are
// trimmed, so that a black edge of the picture itself is kept.
//
// nullopt when the bytes are fewer than the slot needs, or the slot is larger than any player's
// (more than 2048 × 2048).
std::optional<RgbImage> DecodePhoto(const Thumbnail& thumbnail, const PhotoSlot& slot, std::span<const unsigned char> bytes);
