#include "tests/support/simclock.h"

bool TSimClock::AdvanceTo(TInstant instant, const std::function<bool()>& stop)
{
    for (;;) {
        std::function<void()> action;
        {
            std::lock_guard guard(Lock);
            const auto next = Events.begin();
            if (next == Events.end() || next->first > instant)
                break;
            if (next->first > Now())
                Ticks.store(next->first.time_since_epoch().count());
            action = std::move(next->second);
            Events.erase(next);
        }
        // Outside the lock: an event may set further events or read the clock.
        action();
        if (stop && stop())
            return false;
    }
    if (instant > Now())
        Ticks.store(instant.time_since_epoch().count());
    return true;
}

void TSimClock::At(TInstant instant, std::function<void()> action)
{
    std::lock_guard guard(Lock);
    Events.emplace(instant, std::move(action));
}

TClock::TInstant TSimClock::NextEvent() const
{
    std::lock_guard guard(Lock);
    return Events.empty() ? TInstant::max() : Events.begin()->first;
}
