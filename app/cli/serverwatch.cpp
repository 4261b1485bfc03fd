#include "app/cli/serverwatch.h"

namespace {

constexpr std::chrono::milliseconds ListingInterval{200};

} // namespace

TServerWatch::TServerWatch(std::unique_ptr<TDeviceLister> lister, TCondition condition,
                           std::optional<TClock::time_point> deadline, std::function<void()> wake)
    : Lister(std::move(lister)), Condition(std::move(condition)), Deadline(deadline),
      Wake(std::move(wake)), Thread([this] { Run(); })
{
}

TServerWatch::~TServerWatch()
{
    {
        std::lock_guard guard(Lock);
        Stopping = true;
    }
    Cond.notify_all();
    Thread.join();
}

bool TServerWatch::Done() const
{
    std::lock_guard guard(Lock);
    return Finished;
}

std::optional<std::vector<TServerEntry>> TServerWatch::Result() const
{
    std::lock_guard guard(Lock);
    return Met;
}

void TServerWatch::Run()
{
    for (;;) {
        std::optional<std::vector<TServerEntry>> met;
        try {
            if (const auto devices = Lister->List()) {
                std::vector<TServerEntry> servers = ListServers(*devices, *Lister);
                if (Condition(servers))
                    met = std::move(servers);
            }
        } catch (const std::exception&) {
            // As a failed listing: the next round tries again.
        }
        std::unique_lock guard(Lock);
        if (Stopping)
            return;
        const bool late = Deadline && TClock::now() >= *Deadline;
        if (met || late) {
            Met = std::move(met);
            Finished = true;
            guard.unlock();
            Wake();
            return;
        }
        const TClock::time_point next = TClock::now() + ListingInterval;
        Cond.wait_until(guard, Deadline ? std::min(next, *Deadline) : next,
                        [this] { return Stopping; });
        if (Stopping)
            return;
    }
}
