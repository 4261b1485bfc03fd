#include "serial/comport.h"

#include "serial/comthread.h"
#include "serial/linesettings.h"

#include <utility>

namespace {
// The comm-event bit each plain notification asks for, in TNotifyKind order.
constexpr std::array<std::uint32_t, 12> kNotifyBits{
    CommEvent::Break,    CommEvent::Cts,    CommEvent::Dsr,    CommEvent::Event1,
    CommEvent::Event2,   CommEvent::PErr,   CommEvent::Ring,   CommEvent::Rlsd,
    CommEvent::Rx80Full, CommEvent::RxChar, CommEvent::RxFlag, CommEvent::TxEmpty};
} // namespace

TCustomComPort::TCustomComPort(std::unique_ptr<TSerialPlatform> platform)
    : Platform(std::move(platform))
{
}

TCustomComPort::~TCustomComPort()
{
    try {
        Close();
    } catch (...) {
        // A close handler's exception cannot leave a destructor.
    }
    // An ending event thread may be waiting for the main thread (a synchronized handler), which
    // is this one: shutting the gate lets it go without running anything, then it is joined.
    MainGate.Shut();
    JoinEndedThreads(true);
}

// ---- Lifecycle ------------------------------------------------------------------------------

bool TCustomComPort::Active() const
{
    return Platform->IsOpen();
}

void TCustomComPort::SetActive(bool value)
{
    if (value != Active()) {
        if (value)
            Open();
        else
            Close();
    }
}

void TCustomComPort::Open()
{
    if (Active())
        return;
    if (BeforeOpen)
        BeforeOpen(*this);
    DoOpen();
    if (Active() && AfterOpen)
        AfterOpen(*this);
}

void TCustomComPort::DoOpen()
{
    ReleaseHandles();
    try {
        if (PriorityClassValue != pcDefault) {
            SavedPriority = Platform->SaveProcessPriority();
            Platform->SetProcessPriority(PriorityClassValue);
        }
        ReadAsked = 0;
        WriteAsked = 0;
        Check(Platform->Open(DeviceNameValue));
        Check(Platform->Purge(PurgeFlag::RxAbort | PurgeFlag::RxClear));
        Check(Platform->Purge(PurgeFlag::TxAbort | PurgeFlag::TxClear));
        ApplyBufferSizes();
        ApplyCommState();
        ApplyTimeouts();
        ApplyEventMask();
    } catch (...) {
        ReleaseHandles();
        throw;
    }
}

void TCustomComPort::Close()
{
    if (MainGate.OffMainThread() && OnEventThread()) {
        MainGate.Call([this] { Close(); });
        return;
    }
    if (!Active())
        return;
    if (BeforeClose)
        BeforeClose(*this);
    ReleaseHandles();
    if (!Active() && AfterClose)
        AfterClose(*this);
}

void TCustomComPort::ReleaseHandles()
{
    StopEventThread();
    Platform->Close();
    if (SavedPriority) {
        Platform->RestoreProcessPriority(*SavedPriority);
        SavedPriority.reset();
    }
}

// ---- Settings -------------------------------------------------------------------------------

void TCustomComPort::RefuseWhileOpen()
{
    if (Active())
        RaiseComError(0, ComMessage::OpenPort);
}

void TCustomComPort::SetDeviceName(const std::string& name)
{
    if (name == DeviceNameValue)
        return;
    RefuseWhileOpen();
    DeviceNameValue = name;
}

void TCustomComPort::SetPriorityClass(TPriorityClass value)
{
    if (value == PriorityClassValue)
        return;
    RefuseWhileOpen();
    PriorityClassValue = value;
}

void TCustomComPort::SetSynchronizeEvents(bool value)
{
    if (value == SynchronizeEventsValue.load())
        return;
    RefuseWhileOpen();
    SynchronizeEventsValue.store(value);
}

void TCustomComPort::SetMainThreadDispatcher(std::shared_ptr<TMainThreadDispatcher> dispatcher)
{
    RefuseWhileOpen();
    MainGate.SetDispatcher(std::move(dispatcher));
}

void TCustomComPort::SetThreadPriority(TThreadPriority value)
{
    if (value == ThreadPriorityValue.load())
        return;
    ThreadPriorityValue.store(value);
    std::lock_guard lock(ThreadLock);
    if (EventThread)
        EventThread->ApplyPriority();
}

void TCustomComPort::SetBaudRate(TBaudRate value)
{
    if (value == BaudRateValue)
        return;
    BaudRateValue = value;
    ApplyCommState();
}

std::int32_t TCustomComPort::CustomBaudRate() const
{
    if (BaudRateValue == brCustom)
        return CustomBaudRateValue;
    return static_cast<std::int32_t>(BitRateOf(BaudRateValue));
}

void TCustomComPort::SetCustomBaudRate(std::int32_t value)
{
    if (value == CustomBaudRateValue)
        return;
    CustomBaudRateValue = value;
    BaudRateValue = brCustom;
    ApplyCommState();
}

void TCustomComPort::SetDataBits(TDataBits value)
{
    if (value == DataBitsValue)
        return;
    DataBitsValue = value;
    ApplyCommState();
}

void TCustomComPort::SetParity(TParity value)
{
    if (value == ParityValue)
        return;
    ParityValue = value;
    ApplyCommState();
}

void TCustomComPort::SetStopBits(TStopBits value)
{
    if (value == StopBitsValue)
        return;
    StopBitsValue = value;
    ApplyCommState();
}

void TCustomComPort::SetOptions(TOptions value)
{
    if (value == OptionsValue)
        return;
    OptionsValue = value;
    ApplyCommState();
}

void TCustomComPort::ApplyCommState()
{
    if (!Active())
        return;
    TLineSettings dcb;
    Check(Platform->GetLineSettings(dcb));
    TPortLineSettings port;
    port.BaudRate = BaudRateValue;
    port.CustomBaudRate = CustomBaudRateValue;
    port.DataBits = DataBitsValue;
    port.Parity = ParityValue;
    port.StopBits = StopBitsValue;
    port.FlowControl = &FlowControlValue;
    port.Characters = &CharactersValue;
    port.Options = OptionsValue;
    Check(Platform->SetLineSettings(OverlayLineSettings(dcb, port)));
}

void TCustomComPort::ApplyBufferSizes()
{
    if (!Active())
        return;
    Check(Platform->SetQueueSizes(BufferSizesValue.Input(), BufferSizesValue.Output()));
}

void TCustomComPort::ApplyTimeouts()
{
    if (!Active())
        return;
    TCommTimeouts t;
    Check(Platform->GetTimeouts(t));
    t.ReadInterval = TimeoutsValue.ReadInterval();
    t.ReadMultiplier = TimeoutsValue.ReadMultiplier();
    t.ReadConstant = TimeoutsValue.ReadConstant();
    t.WriteMultiplier = TimeoutsValue.WriteMultiplier();
    t.WriteConstant = TimeoutsValue.WriteConstant();
    Check(Platform->SetTimeouts(t));
}

// ---- Errors ---------------------------------------------------------------------------------

void TCustomComPort::Check(std::int32_t code)
{
    if (code != 0)
        RaiseComError(code, Platform->SystemMessage(code));
}

void TCustomComPort::RaiseComError(std::int32_t code, const std::string& message)
{
    TComErrorKind kind = ekOther;
    if (code != 0)
        kind = Platform->ErrorKind(code);
    else if (message == ComMessage::Timeout)
        kind = ekTimeout;
    EComError error(message, code, kind);
    const TComErrorEvent handler = OnError();
    if (handler) {
        TComAction action = caFail;
        handler(*this, error, action);
        if (action == caAbort)
            throw EAbort();
    }
    throw error;
}

void TCustomComPort::RaiseClosedPort()
{
    RaiseComError(0, ComMessage::ClosedPort);
}

// ---- I/O ------------------------------------------------------------------------------------

bool TCustomComPort::LineCheckNeeded() const
{
    return LineErrorHandlerAssigned.load(std::memory_order_relaxed) || Platform->ErrorStateBlocks();
}

void TCustomComPort::CheckLineErrors()
{
    if (!Active())
        RaiseClosedPort();
    std::uint32_t errors = 0;
    Check(Platform->ClearCommError(&errors, nullptr));
    if (errors != 0) {
        const TLineErrorEvent handler = OnLineError();
        if (handler)
            handler(*this, DecodeLineErrors(errors));
    }
}

void TCustomComPort::WaitForRead()
{
    if (Platform->ReadPending()) {
        std::int32_t transferred = 0;
        Check(Platform->FinishRead(transferred));
        if (transferred != ReadAsked)
            RaiseComError(0, ComMessage::Timeout);
    }
    if (LineCheckNeeded())
        CheckLineErrors();
}

void TCustomComPort::WaitForWrite()
{
    if (Platform->WritePending()) {
        std::int32_t transferred = 0;
        Check(Platform->FinishWrite(transferred));
        if (transferred != WriteAsked)
            RaiseComError(0, ComMessage::Timeout);
    }
    if (LineCheckNeeded())
        CheckLineErrors();
}

void TCustomComPort::Read(void* buffer, std::int32_t length, bool waitOnCompletion)
{
    if (!Active())
        RaiseClosedPort();
    if (BeforeRead)
        BeforeRead(*this, buffer, length, waitOnCompletion);
    WaitForRead();
    ReadAsked = length;
    if (length != 0) {
        Check(Platform->StartRead(buffer, length));
        if (waitOnCompletion)
            WaitForRead();
    }
    if (AfterRead)
        AfterRead(*this, buffer, length, waitOnCompletion);
}

void TCustomComPort::Write(const void* buffer, std::int32_t length, bool waitOnCompletion)
{
    if (!Active())
        RaiseClosedPort();
    if (BeforeWrite)
        BeforeWrite(*this, const_cast<void*>(buffer), length, waitOnCompletion);
    WaitForWrite();
    WriteAsked = length;
    if (length != 0) {
        Check(Platform->StartWrite(buffer, length));
        if (waitOnCompletion)
            WaitForWrite();
    }
    if (AfterWrite)
        AfterWrite(*this, const_cast<void*>(buffer), length, waitOnCompletion);
}

std::uint8_t TCustomComPort::ReadChar()
{
    std::uint8_t ch = 0;
    Read(&ch, 1, true);
    return ch;
}

void TCustomComPort::WriteChar(std::uint8_t ch)
{
    WriteString(std::string(1, static_cast<char>(ch)));
}

void TCustomComPort::WriteString(const std::string& bytes)
{
    if (bytes.empty())
        return;
    if (!Active())
        RaiseClosedPort();
    const auto length = static_cast<std::int32_t>(bytes.size());
    // The previous write still reads from WriteCopy, so it is finished before the copy is
    // replaced; the handlers see the caller's bytes.
    if (BeforeWrite)
        BeforeWrite(*this, const_cast<char*>(bytes.data()), length, false);
    WaitForWrite();
    WriteCopy.assign(bytes);
    WriteAsked = length;
    Check(Platform->StartWrite(WriteCopy.data(), length));
    if (AfterWrite)
        AfterWrite(*this, const_cast<char*>(bytes.data()), length, false);
}

std::int32_t TCustomComPort::InputCount()
{
    const bool wantErrors = LineCheckNeeded();
    std::uint32_t errors = 0;
    std::int32_t count = 0;
    Check(Platform->ClearCommError(wantErrors ? &errors : nullptr, &count));
    if (errors != 0) {
        const TLineErrorEvent handler = OnLineError();
        if (handler)
            handler(*this, DecodeLineErrors(errors));
    }
    return count;
}

void TCustomComPort::PurgeInput()
{
    if (Active())
        Check(Platform->Purge(PurgeFlag::RxAbort | PurgeFlag::RxClear));
}

void TCustomComPort::PurgeOutput()
{
    if (Active())
        Check(Platform->Purge(PurgeFlag::TxAbort | PurgeFlag::TxClear));
}

void TCustomComPort::CancelWrites()
{
    Platform->CancelWrites();
}

TModemStatus TCustomComPort::ModemStatus()
{
    if (!Active())
        RaiseClosedPort();
    std::uint32_t bits = 0;
    Check(Platform->GetModemStatus(bits));
    return DecodeModemStatus(bits);
}

// ---- Handlers -------------------------------------------------------------------------------

TComErrorEvent TCustomComPort::OnError() const
{
    std::lock_guard lock(HandlerLock);
    return OnErrorHandler;
}

void TCustomComPort::SetOnError(TComErrorEvent handler)
{
    std::lock_guard lock(HandlerLock);
    OnErrorHandler = std::move(handler);
}

TLineErrorEvent TCustomComPort::OnLineError() const
{
    std::lock_guard lock(HandlerLock);
    return OnLineErrorHandler;
}

void TCustomComPort::SetOnLineError(TLineErrorEvent handler)
{
    {
        std::lock_guard lock(HandlerLock);
        OnLineErrorHandler = std::move(handler);
        LineErrorHandlerAssigned.store(static_cast<bool>(OnLineErrorHandler));
    }
    ApplyEventMask();
}

TNotifyEvent TCustomComPort::Notify(TNotifyKind kind) const
{
    std::lock_guard lock(HandlerLock);
    return NotifyHandlers[kind];
}

void TCustomComPort::SetNotify(TNotifyKind kind, TNotifyEvent handler)
{
    {
        std::lock_guard lock(HandlerLock);
        NotifyHandlers[kind] = std::move(handler);
    }
    ApplyEventMask();
}

std::uint32_t TCustomComPort::EventMask() const
{
    std::lock_guard lock(HandlerLock);
    std::uint32_t mask = OnLineErrorHandler ? CommEvent::Err : 0;
    for (std::size_t i = 0; i < NotifyHandlers.size(); ++i)
        if (NotifyHandlers[i])
            mask |= kNotifyBits[i];
    return mask;
}

// ---- Event thread ---------------------------------------------------------------------------

bool TCustomComPort::EventThreadRunning() const
{
    std::lock_guard lock(ThreadLock);
    return EventThread != nullptr;
}

bool TCustomComPort::OnEventThread() const
{
    std::lock_guard lock(ThreadLock);
    if (EventThread && EventThread->IsCurrentThread())
        return true;
    for (const auto& thread : EndingThreads)
        if (thread->IsCurrentThread())
            return true;
    return false;
}

void TCustomComPort::ApplyEventMask()
{
    if (!Active())
        return;
    const std::uint32_t mask = EventMask();
    if (mask == 0)
        StopEventThread();
    Check(Platform->SetCommMask(mask));
    if (mask != 0 && !EventThreadRunning())
        StartEventThread();
}

void TCustomComPort::StartEventThread()
{
    JoinEndedThreads(false);
    // The thread is the port's before it runs, so that it can stop itself (a failed wait)
    // at any moment.
    auto thread = std::make_unique<TComThread>(*this);
    TComThread* started = thread.get();
    {
        std::lock_guard lock(ThreadLock);
        EventThread = std::move(thread);
    }
    try {
        started->Start();
    } catch (const std::system_error&) {
        {
            std::lock_guard lock(ThreadLock);
            EventThread.reset();
        }
        RaiseComError(0, ComMessage::CreateThread);
    }
}

void TCustomComPort::StopEventThread()
{
    std::unique_ptr<TComThread> thread;
    {
        std::lock_guard lock(ThreadLock);
        thread = std::move(EventThread);
    }
    if (!thread)
        return;
    thread->Terminate();
    if (Platform->IsOpen())
        Platform->SetCommMask(0);
    // The thread may be waiting for the main thread right now (a synchronized handler), so it
    // is joined later, once it has ended.
    std::lock_guard lock(ThreadLock);
    EndingThreads.push_back(std::move(thread));
}

void TCustomComPort::JoinEndedThreads(bool all)
{
    std::vector<std::unique_ptr<TComThread>> ending;
    {
        std::lock_guard lock(ThreadLock);
        ending.swap(EndingThreads);
    }
    std::vector<std::unique_ptr<TComThread>> keep;
    for (auto& thread : ending) {
        // A thread asked to end leaves its wait at once and no longer waits for the main thread
        // once the gate is shut, so joining it (the destructor of the TComThread) blocks only
        // briefly and without spinning.
        if (thread->IsCurrentThread() || (!all && !thread->Finished()))
            keep.push_back(std::move(thread));
    }
    ending.clear(); // joins the ended ones
    std::lock_guard lock(ThreadLock);
    for (auto& thread : keep)
        EndingThreads.push_back(std::move(thread));
}

void TCustomComPort::Dispatch(std::uint32_t events)
{
    auto body = [this, events] {
        struct Step
        {
            std::uint32_t Bit;
            int Kind; // TNotifyKind, or -1 for the line-error check
        };
        static constexpr std::array<Step, 13> order{{
            {CommEvent::Break, kBreak},
            {CommEvent::Cts, kCTSChange},
            {CommEvent::Dsr, kDSRChange},
            {CommEvent::Err, -1},
            {CommEvent::Event1, kEvent1},
            {CommEvent::Event2, kEvent2},
            {CommEvent::PErr, kPrinterError},
            {CommEvent::Ring, kRing},
            {CommEvent::Rlsd, kRLSDChange},
            {CommEvent::Rx80Full, kRx80PercFull},
            {CommEvent::RxChar, kRxChar},
            {CommEvent::RxFlag, kRxFlag},
            {CommEvent::TxEmpty, kTxEmpty},
        }};
        try {
            for (const Step& step : order) {
                if (!(events & step.Bit))
                    continue;
                if (step.Kind < 0) {
                    if (LineErrorHandlerAssigned.load())
                        CheckLineErrors();
                    continue;
                }
                const TNotifyEvent handler = Notify(static_cast<TNotifyKind>(step.Kind));
                if (handler)
                    handler(*this);
            }
        } catch (const EAbort&) {
        } catch (const std::exception& e) {
            ReportHandlerException(e.what());
        }
    };
    if (SynchronizeEventsValue.load())
        MainGate.Call(body);
    else
        body();
}

// ---- TComPort -------------------------------------------------------------------------------

TComPort::TComPort() : TCustomComPort(CreateSystemSerialPlatform()) {}

TComPort::TComPort(std::unique_ptr<TSerialPlatform> platform) : TCustomComPort(std::move(platform))
{
}
