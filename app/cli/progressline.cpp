#include "app/cli/progressline.h"

namespace {

constexpr int BarWidth = 40;

} // namespace

std::string TProgressLine::Update(std::uint8_t percent)
{
    const int value = percent > 100 ? 100 : percent;
    if (value == LastShown)
        return "";
    LastShown = value;
    BarShown = true;
    const int filled = value * BarWidth / 100;
    return "\r[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(BarWidth - filled), '.') + "] " +
           (value < 10    ? "  "
            : value < 100 ? " "
                          : "") +
           std::to_string(value) + "%";
}

std::string TProgressLine::Finish()
{
    if (!BarShown)
        return "";
    BarShown = false;
    return "\n";
}
