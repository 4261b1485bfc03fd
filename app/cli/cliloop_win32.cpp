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

TCliLoop::TWaitResult TCliLoop::WaitForEvents(bool watchInterrupt)
{
    const HANDLE events[2] = {System->WakeEvent, System->Interrupt};
    const DWORD got = WaitForMultipleObjects(watchInterrupt ? 2 : 1, events, FALSE, INFINITE);
    if (got == WAIT_OBJECT_0)
        return {true, false};
    if (got == WAIT_OBJECT_0 + 1) {
        InterruptReleased.store(true);
        return {false, true};
    }
    throw std::runtime_error("wait failed");
}
