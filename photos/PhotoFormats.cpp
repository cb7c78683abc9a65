#include "PhotoFormats.h"

#include "Thumbnails.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <string>

namespace {

struct Model {
    const char* Number; // without the leading region letter
    PhotoPlayer Player;
};

constexpr std::array kModels = {
    Model{"B029", PhotoPlayer::Classic}, Model{"B147", PhotoPlayer::Classic}, Model{"B145", PhotoPlayer::Classic},
    Model{"B150", PhotoPlayer::Classic}, Model{"B562", PhotoPlayer::Classic}, Model{"B565", PhotoPlayer::Classic},
    Model{"C293", PhotoPlayer::Classic}, Model{"C297", PhotoPlayer::Classic}, Model{"A978", PhotoPlayer::Classic},
    Model{"A980", PhotoPlayer::Classic}, Model{"B249", PhotoPlayer::Classic}, Model{"B253", PhotoPlayer::Classic},
    Model{"B257", PhotoPlayer::Classic}, Model{"B261", PhotoPlayer::Classic}, Model{"A002", PhotoPlayer::Video},
    Model{"A146", PhotoPlayer::Video},   Model{"A003", PhotoPlayer::Video},   Model{"A147", PhotoPlayer::Video},
    Model{"A452", PhotoPlayer::Video},   Model{"A444", PhotoPlayer::Video},   Model{"A446", PhotoPlayer::Video},
    Model{"A448", PhotoPlayer::Video},   Model{"A450", PhotoPlayer::Video},   Model{"A664", PhotoPlayer::Video},
    Model{"9585", PhotoPlayer::Photo},   Model{"9586", PhotoPlayer::Photo},   Model{"9829", PhotoPlayer::Photo},
    Model{"9830", PhotoPlayer::Photo},   Model{"A079", PhotoPlayer::Photo},   Model{"A127", PhotoPlayer::Photo},
    Model{"A004", PhotoPlayer::Nano},    Model{"A005", PhotoPlayer::Nano},    Model{"A099", PhotoPlayer::Nano},
    Model{"A107", PhotoPlayer::Nano},    Model{"A350", PhotoPlayer::Nano},    Model{"A352", PhotoPlayer::Nano},
    Model{"A477", PhotoPlayer::Nano},    Model{"A426", PhotoPlayer::Nano},    Model{"A428", PhotoPlayer::Nano},
    Model{"A487", PhotoPlayer::Nano},    Model{"A489", PhotoPlayer::Nano},    Model{"A497", PhotoPlayer::Nano},
    Model{"A725", PhotoPlayer::Nano},    Model{"A726", PhotoPlayer::Nano},    Model{"A899", PhotoPlayer::Nano},
};

struct Format {
    PhotoPlayer Player;
    std::uint32_t Id;
    PhotoSlot Slot;
};

constexpr std::array kFormats = {
    Format{PhotoPlayer::Classic, 1067, {PixelLayout::I420, 720, 480}},
    Format{PhotoPlayer::Classic, 1024, {PixelLayout::Rgb565Little, 320, 240}},
    Format{PhotoPlayer::Classic, 1066, {PixelLayout::Rgb565Little, 64, 64}},
    Format{PhotoPlayer::Video, 1019, {PixelLayout::UyvyInterlaced, 720, 480}},
    Format{PhotoPlayer::Video, 1024, {PixelLayout::Rgb565Little, 320, 240}},
    Format{PhotoPlayer::Video, 1015, {PixelLayout::Rgb565Little, 130, 88}},
    Format{PhotoPlayer::Video, 1036, {PixelLayout::Rgb565Little, 50, 41}},
    Format{PhotoPlayer::Photo, 1019, {PixelLayout::UyvyInterlaced, 720, 480}},
    Format{PhotoPlayer::Photo, 1013, {PixelLayout::Rgb565Big, 220, 176}},
    Format{PhotoPlayer::Photo, 1015, {PixelLayout::Rgb565Little, 130, 88}},
    Format{PhotoPlayer::Photo, 1009, {PixelLayout::Rgb565Little, 42, 30}},
    Format{PhotoPlayer::Nano, 1023, {PixelLayout::Rgb565Big, 176, 132}},
    Format{PhotoPlayer::Nano, 1032, {PixelLayout::Rgb565Little, 42, 37}},
};

// The value of `key` in SysInfo ("ModelNumStr: xB029") or SysInfoExtended
// ("<key>ModelNumStr</key><string>xB029</string>").
std::string_view ValueOf(std::string_view text, std::string_view key)
{
    std::size_t at = text.find(key);
    if (at == std::string_view::npos)
        return {};
    at += key.size();
    if (text.substr(at, 6) == "</key>") {
        const std::size_t open = text.find("<string>", at);
        if (open == std::string_view::npos)
            return {};
        text = text.substr(open + 8);
        return text.substr(0, text.find('<'));
    }
    if (at >= text.size() || text[at] != ':')
        return {};
    text = text.substr(at + 1);
    text = text.substr(0, text.find_first_of("\r\n"));
    return text;
}

} // namespace

std::int64_t SlotBytes(const PhotoSlot& slot)
{
    const std::int64_t pixels = std::int64_t(slot.Width) * slot.Height;
    if (slot.Layout == PixelLayout::I420)
        return pixels + 2 * (std::int64_t(slot.Width / 2) * (slot.Height / 2));
    return 2 * pixels;
}

PhotoPlayer PlayerFromSysInfo(std::string_view text)
{
    std::string_view number = ValueOf(text, "ModelNumStr");
    while (!number.empty() && std::isspace(static_cast<unsigned char>(number.front())))
        number.remove_prefix(1);
    // "xB029", "MA002": a letter for the region or kind of sale, then the model.
    if (number.size() >= 5 && std::isalpha(static_cast<unsigned char>(number.front())))
        number.remove_prefix(1);
    number = number.substr(0, 4);
    for (const Model& model : kModels) {
        if (number == model.Number)
            return model.Player;
    }
    return PhotoPlayer::Unknown;
}

std::optional<PhotoSlot> SlotFor(PhotoPlayer player, const Thumbnail& thumbnail)
{
    // The model's own table; for an unknown model the first family that uses the id (the ids
    // that several families share mean the same there).
    for (const Format& format : kFormats) {
        if (format.Id == thumbnail.Format && (player == PhotoPlayer::Unknown || format.Player == player) &&
            SlotBytes(format.Slot) <= thumbnail.Size)
            return format.Slot;
    }
    if (player != PhotoPlayer::Unknown && std::any_of(kFormats.begin(), kFormats.end(), [&](const Format& format) {
            return format.Player == player && format.Id == thumbnail.Format;
        }))
        return std::nullopt; // the model's format, but too few bytes for it
    // Another id: RGB565 little-endian, the common layout, with the picture placed by the
    // covers' rule, which takes the row length from the byte size.
    const std::optional<PictureInSlot> picture = LocatePicture(thumbnail);
    if (!picture)
        return std::nullopt;
    const std::int64_t width = picture->RowBytes / 2;
    const std::int64_t rows = std::int64_t(thumbnail.Size) / picture->RowBytes;
    if (width > 0x7FFF || rows > 0x7FFF)
        return std::nullopt;
    return PhotoSlot{PixelLayout::Rgb565Little, static_cast<int>(width), static_cast<int>(rows)};
}
