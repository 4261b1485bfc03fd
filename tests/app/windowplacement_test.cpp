#include "app/core/windowplacement.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

TEST(WindowPlacement, AWindowWhoseTitleBarNoScreenShowsGoesWhereAFirstStartPutsIt)
{
    constexpr TWindowFrame frame{373, 258, 24};
    constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
    constexpr std::int32_t least = std::numeric_limits<std::int32_t>::min();
    const std::vector<TScreenRect> laptop{{0, 0, 1280, 800}};
    // A monitor to the left of the laptop, with its corner at negative coordinates.
    const std::vector<TScreenRect> docked{{0, 0, 1280, 800}, {-1920, 0, 1920, 1080}};
    // The primary screen (the second) does not hold the first-start position.
    const std::vector<TScreenRect> primaryRight{{0, 0, 1280, 800}, {1280, 0, 1920, 1080}};
    const std::vector<TScreenRect> tiny{{0, 0, 150, 90}};
    const std::vector<TScreenRect> none;
    struct TCase
    {
        const char* What;
        TWindowPos Stored;
        const std::vector<TScreenRect>& Screens;
        std::size_t Primary;
        TWindowPos Placed;
    };
    const TCase cases[] = {
        {"on the screen", {100, 120}, laptop, 0, {100, 120}},
        {"undocked from a larger monitor", {2500, 1800}, laptop, 0, {192, 107}},
        {"on the monitor to the left", {-1500, 100}, docked, 0, {-1500, 100}},
        {"the monitor to the left is gone", {-1500, 100}, laptop, 0, {192, 107}},
        {"half the title bar above the top", {10, -12}, laptop, 0, {10, -12}},
        {"the title bar above the top", {10, -13}, laptop, 0, {192, 107}},
        {"40 pixels of title bar at the right", {1240, 300}, laptop, 0, {1240, 300}},
        {"39 pixels of title bar at the right", {1241, 300}, laptop, 0, {192, 107}},
        {"only the bottom of the window shows", {300, 790}, laptop, 0, {192, 107}},
        {"title bar fully left of the screen", {-373, 300}, laptop, 0, {192, 107}},
        {"far out on both axes", {most, least}, laptop, 0, {192, 107}},
        {"first-start position off the primary", {5000, 5000}, primaryRight, 1, {1472, 107}},
        {"primary too small for the window", {5000, 5000}, tiny, 0, {0, 0}},
        {"primary index out of range", {5000, 5000}, laptop, 7, {192, 107}},
        {"no screen known", {5000, 5000}, none, 0, {5000, 5000}},
    };
    for (const TCase& c : cases) {
        const TWindowPos placed = PlaceWindow(c.Stored, frame, c.Screens, c.Primary);
        EXPECT_EQ(placed, c.Placed) << c.What << ": " << placed.Left << "," << placed.Top;
    }
}
