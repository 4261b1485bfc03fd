#include "worker/serthread.h"

#include "serial/comport.h"
#include "worker/outputfile.h"
#include "worker/serverport.h"
#include "worker/workerhost.h"

#include <exception>

TSerThread::TSerThread(TWorkerHost& host, std::unique_ptr<TStages> stages)
    : HostRef(host), Stages(std::move(stages)), Thread([this] { Execute(); })
{
}

TSerThread::~TSerThread()
{
    Terminate();
    Resume();
    WaitFor();
}

bool TSerThread::Suspended() const
{
    std::lock_guard guard(Lock);
    return SuspendedMark;
}

void TSerThread::Resume()
{
    std::lock_guard guard(Lock);
    if (SuspendedMark) {
        SuspendedMark = false;
        Cond.notify_all();
    } else if (ParkPending) {
        // The park call is still queued for the main thread: it must not park the worker now,
        // or this resume would be lost.
        ParkCancelled = true;
    }
}

void TSerThread::RequestBack()
{
    BackFlag.store(true);
    CancelPortWait();
}

void TSerThread::Terminate()
{
    TerminateRequested.store(true);
    CancelPortWait();
    std::lock_guard guard(Lock);
    Cond.notify_all();
}

void TSerThread::CancelPortWait()
{
    // Every exchange looks at the flags before its next byte; this ends a wait for the current
    // write, which a device that stopped taking bytes would hold until the write's bound. The
    // flag is set first, so a cancel that comes before the worker's next open is undone only
    // when the worker will see the flag anyway.
    HostRef.SerIF().CancelWrites();
}

void TSerThread::WaitFor()
{
    for (;;) {
        {
            std::unique_lock guard(Lock);
            Cond.wait(guard, [this] { return Finished || !PendingCalls.empty(); });
            if (Finished && PendingCalls.empty())
                break;
        }
        ServeCalls();
    }
    if (Thread.joinable())
        Thread.join();
}

void TSerThread::ServeCalls()
{
    std::unique_lock guard(Lock);
    while (!PendingCalls.empty()) {
        std::function<void()>* call = PendingCalls.front();
        PendingCalls.pop_front();
        guard.unlock();
        try {
            (*call)();
        } catch (...) {
            // A failing window update must neither unwind the event loop nor leave the
            // worker waiting for a call that never completes.
        }
        guard.lock();
        ++ServedCalls;
        Cond.notify_all();
    }
}

void TSerThread::SetDumpFileName(const std::filesystem::path& name)
{
    std::lock_guard guard(Lock);
    DumpName = name;
}

std::filesystem::path TSerThread::DumpFileName() const
{
    std::lock_guard guard(Lock);
    return DumpName;
}

TComPort& TSerThread::SerIF()
{
    return HostRef.SerIF();
}

void TSerThread::AppendTrace(const std::string& text)
{
    Trace += text;
    if (TExchangeObserver* observer = HostRef.ExchangeObserver())
        observer->TraceAppended(text);
}

void TSerThread::ClearTrace()
{
    Trace.clear();
    if (TExchangeObserver* observer = HostRef.ExchangeObserver())
        observer->TraceCleared();
}

void TSerThread::NotePortStep(TPortStep step)
{
    if (TExchangeObserver* observer = HostRef.ExchangeObserver())
        observer->PortStepDone(step);
}

void TSerThread::NoteInputOutOfStep(std::int32_t waiting)
{
    if (TExchangeObserver* observer = HostRef.ExchangeObserver())
        observer->InputOutOfStep(waiting);
}

void TSerThread::NotePortFailure(const char* operation, const std::exception& error)
{
    if (TExchangeObserver* observer = HostRef.ExchangeObserver())
        observer->PortFailed(operation, error);
}

void TSerThread::Synchronize(const std::function<void()>& fn)
{
    std::function<void()> call = fn;
    std::uint64_t ticket = 0;
    {
        std::lock_guard guard(Lock);
        PendingCalls.push_back(&call);
        ticket = ++QueuedCalls;
    }
    // A window already inside WaitFor sleeps on Cond, not in its event loop: wake it too, or a
    // call queued after it started waiting would never be served.
    Cond.notify_all();
    HostRef.WakeMainThread();
    std::unique_lock guard(Lock);
    Cond.wait(guard, [&] { return ServedCalls >= ticket; });
}

void TSerThread::Park()
{
    {
        std::lock_guard guard(Lock);
        ParkPending = true;
        ParkCancelled = false;
    }
    Synchronize([this] {
        std::lock_guard guard(Lock);
        if (!TerminateRequested.load() && !ParkCancelled)
            SuspendedMark = true;
        ParkPending = false;
    });
    std::unique_lock guard(Lock);
    Cond.wait(guard, [this] { return !SuspendedMark || TerminateRequested.load(); });
    SuspendedMark = false;
    ParkCancelled = false;
}

void TSerThread::RunStage(TPage page)
{
    try {
        if (page == pgConnecting) {
            ClearTrace();
            SetServerIdText("");
            Stages->Connect(*this);
        } else if (page == pgReading) {
            Stages->ReadOut(*this);
        }
    } catch (...) {
        // A failure no stage caught would end the process if it left the thread; it is a
        // communication error like any other broken exchange.
        SetResultCode(srCommError);
    }
}

void TSerThread::Execute()
{
    do {
        if (!BackFlag.load() && (HostRef.NextEnabled() || HostRef.Page() == pgOutputFile))
            Park();

        if (!TerminateRequested.load() && !BackFlag.load()) {
            RunStage(HostRef.Page());
            const TPage page = HostRef.Page();
            if (page == pgConnecting || page == pgReading) {
                if (ResultCode() != srSuccess) {
                    HostRef.SetPage(FailurePage(ResultCode()));
                    WriteTraceFile();
                } else {
                    HostRef.SetPage(static_cast<TPage>(page + 1));
                }
                SetResultCode(srSuccess);
            }
        }

        if (TerminateRequested.load())
            break;

        if (BackFlag.load()) {
            HostRef.SetPage(WizardBack(HostRef.Page()));
            BackFlag.store(false);
        }

        Synchronize([this] { HostRef.ShowPage(); });
    } while (!TerminateRequested.load());

    try {
        if (SerIF().Tag() == tgWorkerHoldsPort)
            SerIF().Close();
    } catch (...) {
        // The port may already be gone with its device; the thread ends either way.
    }

    std::lock_guard guard(Lock);
    Finished = true;
    Cond.notify_all();
}

void TSerThread::WriteTraceFile()
{
    // A trace that cannot be written must not hide the failure page; why it could not is kept
    // for a caller that reports it.
    std::string error;
    try {
        if (WriteOutputFile(HostRef.TracePath(), Trace.data(), Trace.size(), &error) < 0 &&
            error.empty())
            error = "cannot be written";
    } catch (const std::exception& e) {
        error = e.what();
    }
    std::lock_guard guard(Lock);
    TraceError = error;
}

std::string TSerThread::TraceFileError() const
{
    std::lock_guard guard(Lock);
    return TraceError;
}

std::string TSerThread::ServerIdText() const
{
    std::lock_guard guard(Lock);
    return ServerId;
}

void TSerThread::SetServerIdText(const std::string& text)
{
    std::lock_guard guard(Lock);
    ServerId = text;
}

std::string TSerThread::DumpFileError() const
{
    std::lock_guard guard(Lock);
    return DumpError;
}

void TSerThread::SetDumpFileError(const std::string& text)
{
    std::lock_guard guard(Lock);
    DumpError = text;
}
