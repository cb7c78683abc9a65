#include "WindowPlacement.h"

#include <algorithm>
#include <cstdint>

namespace {

// Rectangles in 64 bits: stored bounds may hold any 32-bit values, and their sums must not overflow.
struct Box {
    std::int64_t x, y, w, h;
};

bool Overlaps(const Box& a, const QRect& b)
{
    return a.x < std::int64_t{b.x()} + b.width() && std::int64_t{b.x()} < a.x + a.w
           && a.y < std::int64_t{b.y()} + b.height() && std::int64_t{b.y()} < a.y + a.h;
}

} // namespace

QRect PlaceWindowBounds(const WindowBounds& stored, const QRect& primaryArea, const QList<QRect>& screens)
{
    // A window has at least one pixel each way.
    Box box{stored.x, stored.y, std::max<std::int64_t>(1, stored.w), std::max<std::int64_t>(1, stored.h)};
    if (primaryArea.isEmpty()) {
        // No screen to fit to: keep the place, and a size a screen of these days can show.
        return QRect(int(box.x), int(box.y), int(std::min<std::int64_t>(box.w, 1024)),
                     int(std::min<std::int64_t>(box.h, 768)));
    }
    const bool tooLarge = box.w > primaryArea.width() || box.h > primaryArea.height();
    const bool onAScreen = std::any_of(screens.begin(), screens.end(), [&](const QRect& s) { return Overlaps(box, s); });
    if (!tooLarge && onAScreen)
        return QRect(int(box.x), int(box.y), int(box.w), int(box.h));

    box.w = std::min<std::int64_t>(box.w, primaryArea.width());
    box.h = std::min<std::int64_t>(box.h, primaryArea.height());
    box.x = std::clamp<std::int64_t>(box.x, primaryArea.x(), std::int64_t{primaryArea.x()} + primaryArea.width() - box.w);
    box.y = std::clamp<std::int64_t>(box.y, primaryArea.y(), std::int64_t{primaryArea.y()} + primaryArea.height() - box.h);
    return QRect(int(box.x), int(box.y), int(box.w), int(box.h));
}
