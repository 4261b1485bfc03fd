#include "app/cli/progressline.h"

namespace {

constexpr std::size_t FullBar = 40;
// "[", "] " and "100%" beside the bar, and the last column, which a terminal that wraps would
// fill before moving on.
constexpr std::size_t AroundBar = 8;
// A bar narrower than this says less than the percentage alone.
constexpr std::size_t NarrowestBar = 10;

} // namespace

TProgressLine::TProgressLine(std::size_t columns)
{
    if (columns == 0 || columns >= FullBar + AroundBar)
        BarWidth = FullBar;
    else if (columns >= NarrowestBar + AroundBar)
        BarWidth = columns - AroundBar;
    else
        BarWidth = 0;
}

std::string TProgressLine::Update(std::uint8_t percent)
{
    const int value = percent > 100 ? 100 : percent;
    if (value == LastShown)
        return "";
    LastShown = value;
    BarShown = true;
    const std::string number = (value < 10    ? "  "
                                : value < 100 ? " "
                                              : "") +
                               std::to_string(value) + "%";
    if (BarWidth == 0)
        return "\r" + number;
    const std::size_t filled = static_cast<std::size_t>(value) * BarWidth / 100;
    return "\r[" + std::string(filled, '#') + std::string(BarWidth - filled, '.') + "] " + number;
}

std::string TProgressLine::Finish()
{
    if (!BarShown)
        return "";
    BarShown = false;
    return "\n";
}
