#include "serial/nice_linux.h"

#include <algorithm>

std::optional<int> NiceFallback(int requested, int current, std::uint64_t niceLimit)
{
    // RLIMIT_NICE n allows nice values down to 20 - n (n is at most 40).
    const int lowestAllowed = 20 - static_cast<int>(std::min<std::uint64_t>(niceLimit, 40));
    const int nearest = std::max(requested, lowestAllowed);
    if (nearest >= current)
        return std::nullopt;
    return nearest;
}
