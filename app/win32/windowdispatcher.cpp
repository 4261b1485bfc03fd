#include "app/win32/windowdispatcher.h"

TWindowDispatcher::TWindowDispatcher() : MainThread(GetCurrentThreadId()) {}

void TWindowDispatcher::SetWindow(HWND window)
{
    std::lock_guard guard(Lock);
    Window = window;
}

bool TWindowDispatcher::IsMainThread() const
{
    return GetCurrentThreadId() == MainThread;
}

void TWindowDispatcher::Post(std::function<void()> fn)
{
    std::lock_guard guard(Lock);
    if (Closed)
        return;
    Calls.push_back(std::move(fn));
    if (Window != nullptr)
        PostMessageA(Window, ServeMessage, 0, 0);
}

void TWindowDispatcher::Serve()
{
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard guard(Lock);
            if (Calls.empty())
                return;
            call = std::move(Calls.front());
            Calls.pop_front();
        }
        call();
    }
}

void TWindowDispatcher::Close()
{
    Serve();
    std::lock_guard guard(Lock);
    Closed = true;
    Window = nullptr;
    Calls.clear();
}
