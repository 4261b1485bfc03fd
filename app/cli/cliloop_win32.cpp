#include "app/cli/cliloop.h"

#include <atomic>
#include <stdexcept>
#include <windows.h>

namespace {

// The console control handler has no context of its own: it finds the loop's event here. Only
// one loop exists at a time.
std::atomic<HANDLE> InterruptEvent{nullptr};
std::atomic<bool> InterruptReleased{false};

BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    if (InterruptReleased.load())
        return FALSE; // the second Ctrl+C: the default handler ends the program
    const HANDLE event = InterruptEvent.load();
    if (event != nullptr)
        SetEvent(event);
    return TRUE;
}

} // namespace

struct TCliLoop::TSystem
{
    HANDLE Interrupt = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE WakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);

    TSystem()
    {
        if (Interrupt == nullptr || WakeEvent == nullptr) {
            Close();
            throw std::runtime_error("cannot watch for Ctrl+C");
        }
        InterruptReleased.store(false);
        InterruptEvent.store(Interrupt);
        SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    }
    ~TSystem()
    {
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
        InterruptEvent.store(nullptr);
        Close();
    }
    void Close()
    {
        if (Interrupt != nullptr)
            CloseHandle(Interrupt);
        if (WakeEvent != nullptr)
            CloseHandle(WakeEvent);
        Interrupt = WakeEvent = nullptr;
    }
};

TCliLoop::TCliLoop() : System(std::make_unique<TSystem>()) {}

TCliLoop::~TCliLoop() = default;

void TCliLoop::Wake()
{
    SetEvent(System->WakeEvent);
}

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
        const HANDLE events[2] = {System->WakeEvent, System->Interrupt};
        const DWORD got = WaitForMultipleObjects(interrupted ? 1 : 2, events, FALSE, INFINITE);
        if (got == WAIT_OBJECT_0) {
            onWake();
        } else if (got == WAIT_OBJECT_0 + 1) {
            interrupted = true;
            InterruptReleased.store(true);
            onInterrupt();
        } else {
            throw std::runtime_error("wait failed");
        }
    }
    return QuitCode;
}
