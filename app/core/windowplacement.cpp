#include "app/core/windowplacement.h"

#include <algorithm>

namespace {

constexpr std::int64_t GripWidth = 40;

// The length of the overlap of [a, a + aLength) and [b, b + bLength); 64-bit, as a stored
// position may be anywhere in the 32-bit range.
std::int64_t Overlap(std::int64_t a, std::int64_t aLength, std::int64_t b, std::int64_t bLength)
{
    return std::min(a + aLength, b + bLength) - std::max(a, b);
}

// The first-start offset taken from the primary screen's corner, pulled back so that the whole
// frame stands on that screen where it fits.
TWindowPos OntoScreen(TWindowFrame frame, const TScreenRect& screen)
{
    const auto place = [](std::int64_t start, std::int64_t length, std::int64_t offset,
                          std::int64_t size) {
        const std::int64_t wanted = start + offset;
        const std::int64_t last = start + length - size; // below start when it does not fit
        return static_cast<std::int32_t>(std::max(start, std::min(wanted, last)));
    };
    return {place(screen.Left, screen.Width, DesignWindowPos.Left, frame.Width),
            place(screen.Top, screen.Height, DesignWindowPos.Top, frame.Height)};
}

} // namespace

bool TitleBarVisible(TWindowPos pos, TWindowFrame frame, const TScreenRect& screen)
{
    const std::int64_t titleBar = std::max<std::int64_t>(frame.TitleBar, 1);
    const std::int64_t wide = Overlap(pos.Left, frame.Width, screen.Left, screen.Width);
    const std::int64_t high = Overlap(pos.Top, titleBar, screen.Top, screen.Height);
    return wide >= std::min<std::int64_t>(GripWidth, std::max(frame.Width, 1)) &&
           high * 2 >= titleBar;
}

TWindowPos PlaceWindow(TWindowPos stored, TWindowFrame frame,
                       const std::vector<TScreenRect>& screens, std::size_t primary)
{
    if (screens.empty())
        return stored;
    for (const TScreenRect& screen : screens)
        if (TitleBarVisible(stored, frame, screen))
            return stored;
    const TScreenRect& main = screens[primary < screens.size() ? primary : 0];
    if (TitleBarVisible(DesignWindowPos, frame, main))
        return DesignWindowPos;
    return OntoScreen(frame, main);
}
