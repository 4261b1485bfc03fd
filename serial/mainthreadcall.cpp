#include "serial/mainthreadcall.h"

#include <cstdio>

void TMainThreadGate::SetDispatcher(std::shared_ptr<TMainThreadDispatcher> dispatcher)
{
    Dispatcher = std::move(dispatcher);
}

bool TMainThreadGate::OffMainThread() const
{
    return Dispatcher != nullptr && !Dispatcher->IsMainThread();
}

bool TMainThreadGate::Call(const std::function<void()>& fn)
{
    if (!OffMainThread()) {
        fn();
        return true;
    }
    struct TCall
    {
        bool Started = false;
        bool Finished = false;
    };
    auto call = std::make_shared<TCall>();
    const std::shared_ptr<TState> state = State;
    {
        std::lock_guard lock(state->Lock);
        if (state->Shut)
            return false;
    }
    // The posted call holds only shared state: it may run after the port is gone, and then finds
    // the gate shut and does nothing. fn is the caller's: the caller waits until the call has
    // finished, or until the gate is shut before the call started (which then never runs fn).
    Dispatcher->Post([state, call, &fn] {
        {
            std::lock_guard lock(state->Lock);
            if (state->Shut) {
                call->Finished = true;
                state->Changed.notify_all();
                return;
            }
            ++state->Running;
            call->Started = true;
        }
        try {
            fn();
        } catch (...) {
            // The callers hand their exceptions back themselves; nothing may cross the loop.
        }
        std::lock_guard lock(state->Lock);
        --state->Running;
        call->Finished = true;
        state->Changed.notify_all();
    });
    // A call that has started is waited for to its end, so that fn is never left running.
    std::unique_lock lock(state->Lock);
    state->Changed.wait(lock, [&] { return call->Finished || (state->Shut && !call->Started); });
    return call->Started;
}

void TMainThreadGate::Shut()
{
    std::unique_lock lock(State->Lock);
    State->Shut = true;
    State->Changed.notify_all();
    if (OffMainThread())
        State->Changed.wait(lock, [this] { return State->Running == 0; });
}

void ReportHandlerException(const char* what)
{
    std::fprintf(stderr, "serial port event handler: %s\n", what);
}
