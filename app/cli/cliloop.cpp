#include "app/cli/cliloop.h"

#include <utility>

void TCliLoop::Post(std::function<void()> fn)
{
    Posted.push_back(std::move(fn));
}

void TCliLoop::Quit(int code)
{
    if (Quitting)
        return;
    Quitting = true;
    QuitCode = code;
}

int TCliLoop::Run(const std::function<void()>& onWake, const std::function<void()>& onInterrupt)
{
    bool interrupted = false;
    while (!Quitting) {
        if (!Posted.empty()) {
            const std::function<void()> fn = std::move(Posted.front());
            Posted.pop_front();
            fn();
            continue;
        }
        const TWaitResult got = WaitForEvents(!interrupted);
        if (got.Woken)
            onWake();
        if (got.Interrupted) {
            interrupted = true;
            if (got.Signal != 0)
                InterruptSignal = got.Signal;
            onInterrupt();
        }
    }
    return QuitCode;
}
