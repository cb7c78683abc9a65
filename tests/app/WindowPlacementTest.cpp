#include "WindowPlacement.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(WindowPlacement, BoundsThatDoNotFitAreBroughtOntoThePrimaryScreen)
{
    // A primary screen with a panel along its top, and a second screen to its right.
    const QRect primaryArea(0, 32, 1280, 768);
    const QList<QRect> screens{QRect(0, 0, 1280, 800), QRect(1280, 0, 1920, 1080)};
    struct Case {
        const char* what;
        WindowBounds stored;
        QRect placed;
    };
    const Case cases[] = {
        {"fits", {100, 80, 884, 606}, QRect(100, 80, 884, 606)},
        {"partly off the screen", {-300, 700, 884, 606}, QRect(-300, 700, 884, 606)},
        {"on the second screen", {1500, 100, 1000, 700}, QRect(1500, 100, 1000, 700)},
        {"under the panel", {10, 0, 600, 400}, QRect(10, 0, 600, 400)},
        {"wider than the area", {100, 80, 1300, 606}, QRect(0, 80, 1280, 606)},
        {"taller than the area", {100, 80, 884, 769}, QRect(100, 32, 884, 768)},
        {"huge", {40, 30, 40000, 40000}, QRect(0, 32, 1280, 768)},
        {"largest values", {INT_MAX, INT_MAX, INT_MAX, INT_MAX}, QRect(0, 32, 1280, 768)},
        {"smallest values", {INT_MIN, INT_MIN, INT_MIN, INT_MIN}, QRect(0, 32, 1, 1)},
        {"right of every screen", {5000, 100, 884, 606}, QRect(396, 100, 884, 606)},
        {"above every screen", {100, -700, 884, 606}, QRect(100, 32, 884, 606)},
        {"below every screen", {100, 100000, 884, 606}, QRect(100, 194, 884, 606)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QRect placed = PlaceWindowBounds(c.stored, primaryArea, screens);
        EXPECT_EQ(placed, c.placed) << placed.x() << "," << placed.y() << " " << placed.width() << "x"
                                    << placed.height();
    }
}

} // namespace
