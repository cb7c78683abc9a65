#pragma once

#include "ArtworkDB.h"

#include <cstdint>
#include <optional>
#include <string_view>

// Which pixel layout a stored photo size uses. The format ids do not describe themselves: the
// same id and byte size mean different layouts on different players, so the player's model
// decides, and where it is unknown the id, the byte size and the dimensions do.

enum class PhotoPlayer {
    Unknown,
    Classic, // the iPod classic and the third nano
    Video,   // the fifth generation
    Photo,   // the iPod photo (and color)
    Nano,    // the first and second nano
};

// The family of the model named by "ModelNumStr" in the text of iPod_Control/Device/SysInfo,
// or by the same key in the property list of SysInfoExtended; Unknown for any other text.
PhotoPlayer PlayerFromSysInfo(std::string_view text);

enum class PixelLayout {
    Rgb565Little,
    Rgb565Big,
    UyvyInterlaced, // the even lines first, then the odd ones
    I420,           // planes of luma, then blue and red difference at half size each way
};

// A stored size: its layout and the dimensions of the slot the picture is centred in.
struct PhotoSlot {
    PixelLayout Layout = PixelLayout::Rgb565Little;
    int Width = 0;
    int Height = 0;
};

// The bytes a slot takes.
std::int64_t SlotBytes(const PhotoSlot& slot);

// The slot of one stored size on the given player; nullopt when neither the model's formats nor
// the byte size and dimensions tell its layout.
std::optional<PhotoSlot> SlotFor(PhotoPlayer player, const Thumbnail& thumbnail);
