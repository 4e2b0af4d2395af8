// The first place of a window without a stored one, and a stored place
// brought back onto the screen.

#include "data/ui/FormPlacement.h"

#include <gtest/gtest.h>

namespace {

const QRect kWide(0, 0, 1920, 1040);
const QRect kSmall(0, 0, 800, 570);

// The window and its frame (title bar above, borders around) on the screen.
bool Whole(QRect place, QRect screen) { return screen.contains(place.adjusted(-4, -24, 4, 4)); }

TEST(FormPlacement, AWindowWithoutAPlaceOpensWholeOnTheScreenAtTheSizeOfItsContents)
{
    struct Case {
        const char* what;
        QRect current;
        QSize hint;
        bool main;
        QRect owner;
        QRect screen;
        QSize size; // expected
        QPoint centre; // expected, (-1, -1): not checked
        bool maximize;
    };
    const Case cases[] = {
        {"main window: at least 1024 x 700", {0, 0, 640, 480}, {600, 400}, true, {}, kWide, {1024, 700}, {-1, -1},
            false},
        {"main window on a small screen: maximised", {0, 0, 640, 480}, {600, 400}, true, {}, kSmall, {784, 530},
            {-1, -1}, true},
        {"a card smaller than its contents grows", {0, 0, 700, 480}, {820, 560}, false, {100, 100, 1000, 800}, kWide,
            {820, 560}, {599, 499}, false},
        {"a dialog centred on its owner", {0, 0, 300, 200}, {200, 100}, false, {200, 200, 600, 400}, kWide, {300, 200},
            {499, 399}, false},
        {"no owner: the screen's middle", {0, 0, 300, 200}, {200, 100}, false, {}, kWide, {300, 200}, {-1, -1}, false},
        {"an owner at the screen's edge", {0, 0, 500, 400}, {}, false, {1700, 900, 400, 300}, kWide, {500, 400},
            {-1, -1}, false},
        {"larger than the screen", {0, 0, 2500, 1400}, {}, false, {}, kWide, {1904, 1000}, {-1, -1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bool maximize = !c.maximize;
        const QRect place = FirstPlacement(c.current, c.hint, c.main, c.owner, c.screen, maximize);
        EXPECT_EQ(maximize, c.maximize);
        EXPECT_EQ(place.size(), c.size);
        EXPECT_TRUE(Whole(place, c.screen)) << place.x() << "," << place.y();
        if (c.centre.x() >= 0) {
            EXPECT_EQ(place.center(), c.centre);
        }
    }
}

TEST(FormPlacement, AStoredPlaceComesBackOntoTheScreen)
{
    const QRect cases[][2] = {
        {{100, 100, 400, 300}, {100, 100, 400, 300}}, // already on it
        {{0, 0, 640, 480}, {8, 32, 640, 480}}, // the title bar above the screen
        {{1800, 900, 400, 300}, {1512, 732, 400, 300}}, // past the right and lower edges
        {{-3000, 50, 3000, 2000}, {8, 32, 1904, 1000}}, // saved on a larger screen
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitOnScreen(c[0], kWide), c[1]);
    }
}

} // namespace
