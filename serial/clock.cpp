#include "serial/clock.h"

#include <thread>

namespace {

class TSteadyClock final : public TClock
{
public:
    TInstant Now() const override { return std::chrono::steady_clock::now(); }
    void SleepUntil(TInstant instant) override { std::this_thread::sleep_until(instant); }
};

} // namespace

TClock& SteadyClock()
{
    static TSteadyClock clock;
    return clock;
}
