#pragma once

#include <chrono>

// Where time comes from for the pauses and waits of the worker: the steady clock in the programs,
// a simulated clock in the tests, which moves on at once when someone sleeps on it.
class TClock
{
public:
    using TDuration = std::chrono::steady_clock::duration;
    using TInstant = std::chrono::steady_clock::time_point;

    virtual ~TClock() = default;
    virtual TInstant Now() const = 0;
    virtual void SleepUntil(TInstant instant) = 0;
    void SleepFor(TDuration duration) { SleepUntil(Now() + duration); }
};

// The system's steady clock; sleeping blocks the calling thread. One object for the whole
// program: it has no state.
TClock& SteadyClock();
