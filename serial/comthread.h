#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

class TCustomComPort;

// The event thread of a port: waits for the masked comm events and dispatches them to the
// port's handlers until it is asked to end (the port then also ends the pending wait) or the
// wait fails.
class TComThread
{
public:
    explicit TComThread(TCustomComPort& port);
    ~TComThread(); // joins; call Terminate and end the wait first
    void Start();  // throws std::system_error when no thread results
    TComThread(const TComThread&) = delete;
    TComThread& operator=(const TComThread&) = delete;

    void Terminate() { TerminateRequested.store(true); }
    bool Terminated() const { return TerminateRequested.load(); }
    bool Finished() const { return Done.load(); }
    bool IsCurrentThread() const { return std::this_thread::get_id() == Id.load(); }
    void ApplyPriority(); // the port's ThreadPriority, at once

private:
    void Execute();

    TCustomComPort& Port;
    std::atomic<bool> TerminateRequested{false};
    std::atomic<bool> Done{false};
    std::atomic<std::int64_t> SystemId{0};
    std::atomic<std::thread::id> Id{};
    std::thread Thread;
};
