#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Plain screen rectangles and window positions, in the desktop's pixel coordinates, so that the
// placement rule below serves any windowing toolkit.
struct TScreenRect
{
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

struct TWindowPos
{
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    bool operator==(const TWindowPos&) const = default;
};

// The position of a window at its first start, before any settings apply.
inline constexpr TWindowPos DesignWindowPos{192, 107};

// The size of a window's outer frame and the height of its title bar (the strip along the top of
// the frame by which the user drags it).
struct TWindowFrame
{
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t TitleBar = 0;
};

// Whether the title bar of a window at pos would be visible on the screen: enough of it to grab
// (40 pixels wide, or all of a narrower one, and half its height).
bool TitleBarVisible(TWindowPos pos, TWindowFrame frame, const TScreenRect& screen);

// Where a window restored at stored goes: stored itself when its title bar is visible on one of
// the screens (the usable areas, without panels); otherwise the first-start position, moved onto
// the primary screen when the title bar would be off that screen there too (a laptop undocked
// from a larger monitor). With no screen known, stored is kept.
TWindowPos PlaceWindow(TWindowPos stored, TWindowFrame frame,
                       const std::vector<TScreenRect>& screens, std::size_t primary);
