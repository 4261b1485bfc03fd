#pragma once

#include "app/cli/serverchoice.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Watches the present servers on a thread of its own until a condition on them is met or a
// deadline passes, then wakes the main thread once. The listing is repeated a few times a
// second: listing is the one way to see devices that every system offers, and it costs little.
// A listing that fails counts as no answer, neither met nor not.
class TServerWatch
{
public:
    using TCondition = std::function<bool(const std::vector<TServerEntry>& servers)>;
    using TClock = std::chrono::steady_clock;

    // wake is called on the watching thread when Done() has become true.
    TServerWatch(std::unique_ptr<TDeviceLister> lister, TCondition condition,
                 std::optional<TClock::time_point> deadline, std::function<void()> wake);
    ~TServerWatch(); // stops the watch and waits for its thread
    TServerWatch(const TServerWatch&) = delete;
    TServerWatch& operator=(const TServerWatch&) = delete;

    bool Done() const;
    // The listing that met the condition; no value while watching or when the deadline passed.
    std::optional<std::vector<TServerEntry>> Result() const;

private:
    void Run();

    const std::unique_ptr<TDeviceLister> Lister;
    const TCondition Condition;
    const std::optional<TClock::time_point> Deadline;
    const std::function<void()> Wake;

    mutable std::mutex Lock; // guards the three below
    std::condition_variable Cond;
    bool Stopping = false;
    bool Finished = false;
    std::optional<std::vector<TServerEntry>> Met;

    std::thread Thread; // last: started when everything above exists
};
