#pragma once

#include <cstdint>
#include <optional>

// The nice value to set instead when the system refused `requested` for a thread now at
// `current`: the nearest value RLIMIT_NICE (`niceLimit`, its soft value) allows, but only when
// that is still a higher priority than the current one. A refusal never lowers the priority.
std::optional<int> NiceFallback(int requested, int current, std::uint64_t niceLimit);
