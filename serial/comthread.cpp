#include "serial/comthread.h"

#include "serial/comport.h"

TComThread::TComThread(TCustomComPort& port) : Port(port) {}

void TComThread::Start()
{
    Thread = std::thread([this] { Execute(); });
}

TComThread::~TComThread()
{
    if (Thread.joinable())
        Thread.join();
}

void TComThread::ApplyPriority()
{
    const std::int64_t id = SystemId.load();
    if (id != 0)
        Port.Platform->SetThreadPriority(id, Port.ThreadPriority());
}

void TComThread::Execute()
{
    Id.store(std::this_thread::get_id());
    SystemId.store(Port.Platform->CurrentThreadId());
    ApplyPriority();
    try {
        while (!Terminated()) {
            std::uint32_t events = 0;
            const std::int32_t code = Port.Platform->WaitCommEvent(events);
            if (Terminated())
                break;
            if (code == 0) {
                if (events != 0)
                    Port.Dispatch(events);
                continue;
            }
            // The report runs on the main thread so OnError runs there; a lost device also
            // closes the port, after the report whatever its outcome.
            std::exception_ptr failure;
            Port.MainGate.Call([&] {
                try {
                    Port.RaiseComError(code, Port.Platform->SystemMessage(code));
                } catch (...) {
                    failure = std::current_exception();
                }
            });
            if (Port.Platform->ErrorKind(code) == ekDeviceGone)
                Port.Close();
            // No failure when the port is being destroyed and the report was dropped.
            if (failure)
                std::rethrow_exception(failure);
            break;
        }
    } catch (const EComError&) {
    } catch (const EAbort&) {
    }
    Done.store(true);
}
