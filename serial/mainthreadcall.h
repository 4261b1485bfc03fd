#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// How a port reaches the program's main thread: the host gives the port one (the Qt front end
// posts to its event loop, a Win32 front end posts a window message). Without one, everything
// runs on the calling thread.
class TMainThreadDispatcher
{
public:
    virtual ~TMainThreadDispatcher() = default;
    // True on the thread that runs the posted calls.
    virtual bool IsMainThread() const = 0;
    // Queues fn to run on the main thread soon and returns at once. fn never throws.
    virtual void Post(std::function<void()> fn) = 0;
};

// The main-thread calls of one port. Call runs a function on the main thread and waits for it;
// once Shut, pending and later calls return without running, so that the main thread can wait
// for the port's threads (in the port's destructor) without serving any events.
class TMainThreadGate
{
public:
    void SetDispatcher(std::shared_ptr<TMainThreadDispatcher> dispatcher);
    // True when a dispatcher is set and the caller is not on its main thread.
    bool OffMainThread() const;

    // Runs fn on the main thread (at once when there is no dispatcher or the caller is on it) and
    // waits. False when the gate was shut before fn ran; fn then never runs.
    bool Call(const std::function<void()>& fn);

    // From now on Call runs nothing off the main thread; waiting callers return at once. Waits
    // for a call that is running on the main thread when the caller is another thread.
    void Shut();

private:
    struct TState
    {
        std::mutex Lock;
        std::condition_variable Changed;
        bool Shut = false;
        int Running = 0; // posted calls running on the main thread now
    };
    std::shared_ptr<TMainThreadDispatcher> Dispatcher;
    std::shared_ptr<TState> State = std::make_shared<TState>();
};

// The report of an exception that escaped an event handler (standard error).
void ReportHandlerException(const char* what);
