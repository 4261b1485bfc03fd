#pragma once

#include "serial/mainthreadcall.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <windows.h>

// The port's way to the main thread in the Win32 front end: calls queued here, and a posted
// window message that makes the window run them (Serve). The message is only a wake-up: when the
// window is destroyed with it still queued, the calls are not lost with it, Close runs them.
class TWindowDispatcher final : public TMainThreadDispatcher
{
public:
    // The message the window answers with Serve.
    static constexpr UINT ServeMessage = WM_APP + 1;

    TWindowDispatcher(); // the creating thread is the main thread
    void SetWindow(HWND window);

    bool IsMainThread() const override;
    void Post(std::function<void()> fn) override;

    void Serve(); // main thread: runs the queued calls
    // Main thread, on WM_DESTROY: runs what is still queued; later posts are dropped (nothing is
    // left to serve them, and the port shuts its gate before it goes).
    void Close();

private:
    const DWORD MainThread;
    std::mutex Lock;
    HWND Window = nullptr;
    bool Closed = false;
    std::deque<std::function<void()>> Calls;
};
