#pragma once

#include "serial/clock.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

// Simulated time: it stands still until someone sleeps or waits on it, and then moves on at once
// to the end of that sleep or wait. Events set for an instant run on the thread that moves the
// clock past it, with the clock showing that instant, in the order of their instants (and of
// their setting, for one instant). Now may be read from any thread.
class TSimClock final : public TClock
{
public:
    TInstant Now() const override { return TInstant(TDuration(Ticks.load())); }
    void SleepUntil(TInstant instant) override { AdvanceTo(instant); }

    // Moves to instant (never back), running the events on the way; stops early, right after an
    // event, when stop() holds. Returns false when it stopped early.
    bool AdvanceTo(TInstant instant, const std::function<bool()>& stop = {});
    // Runs action when the clock passes instant (at once on the next move for a past instant).
    void At(TInstant instant, std::function<void()> action);
    // The instant of the next event, or TInstant::max() when none is set.
    TInstant NextEvent() const;

private:
    std::atomic<TDuration::rep> Ticks{0};
    mutable std::mutex Lock; // guards Events
    std::multimap<TInstant, std::function<void()>> Events;
};
