#pragma once

#include "serial/buffersizes.h"
#include "serial/characters.h"
#include "serial/comerror.h"
#include "serial/comtypes.h"
#include "serial/flowcontrol.h"
#include "serial/mainthreadcall.h"
#include "serial/serialplatform.h"
#include "serial/timeouts.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class TComThread;
class TCustomComPort;

// Handler types of the port's events.
using TOpenCloseEvent = std::function<void(TCustomComPort& comPort)>;
using TReadWriteEvent = std::function<void(TCustomComPort& sender, void* buffer,
                                           std::int32_t length, bool waitOnCompletion)>;
using TComErrorEvent =
    std::function<void(TCustomComPort& comPort, const EComError& e, TComAction& action)>;
using TLineErrorEvent = std::function<void(TCustomComPort& sender, TLineErrors lineErrors)>;
using TNotifyEvent = std::function<void(TCustomComPort& sender)>;

// A serial port: typed line settings, exclusive open and close, byte and block I/O under the
// five timeouts, modem-control lines and an optional event thread. Settings changed while the
// port is open reach the device at once; every failure is raised as EComError (or, when OnError
// asks for caAbort, as the silent EAbort).
//
// One thread at a time calls the port's operations. The event thread runs only while a comm-event
// handler (OnBreak ... OnTxEmpty) is assigned and the port is open; with SynchronizeEvents true
// its handlers run on the main thread of the dispatcher the host gave (SetMainThreadDispatcher),
// or on the event thread itself when there is none.
class TCustomComPort
{
public:
    explicit TCustomComPort(std::unique_ptr<TSerialPlatform> platform);
    virtual ~TCustomComPort(); // Close, then waits for an event thread still ending
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // ---- Lifecycle ----------------------------------------------------------------------------
    void Open();  // nothing on an open port; BeforeOpen, DoOpen, AfterOpen
    void Close(); // nothing on a closed port; BeforeClose, release, AfterClose
    bool Active() const;
    void SetActive(bool value);

    // ---- Line settings ------------------------------------------------------------------------
    std::string DeviceName() const { return DeviceNameValue; }
    void SetDeviceName(const std::string& name); // refused while open
    TBaudRate BaudRate() const { return BaudRateValue; }
    void SetBaudRate(TBaudRate value);
    std::int32_t CustomBaudRate() const; // the bit rate in force (custom value for brCustom)
    void SetCustomBaudRate(std::int32_t value);
    TDataBits DataBits() const { return DataBitsValue; }
    void SetDataBits(TDataBits value);
    TParity Parity() const { return ParityValue; }
    void SetParity(TParity value);
    TStopBits StopBits() const { return StopBitsValue; }
    void SetStopBits(TStopBits value);
    TOptions Options() const { return OptionsValue; }
    void SetOptions(TOptions value);
    TFlowControl& FlowControl() { return FlowControlValue; }
    void SetFlowControl(const TFlowControl& value) { FlowControlValue.Assign(value); }
    TCharacters& Characters() { return CharactersValue; }
    void SetCharacters(const TCharacters& value) { CharactersValue.Assign(value); }
    TBufferSizes& BufferSizes() { return BufferSizesValue; }
    void SetBufferSizes(const TBufferSizes& value) { BufferSizesValue.Assign(value); }
    TTimeouts& Timeouts() { return TimeoutsValue; }
    void SetTimeouts(const TTimeouts& value) { TimeoutsValue.Assign(value); }
    TPriorityClass PriorityClass() const { return PriorityClassValue; }
    void SetPriorityClass(TPriorityClass value); // refused while open
    TThreadPriority ThreadPriority() const { return ThreadPriorityValue.load(); }
    void SetThreadPriority(TThreadPriority value); // a running event thread follows at once
    bool SynchronizeEvents() const { return SynchronizeEventsValue.load(); }
    void SetSynchronizeEvents(bool value); // refused while open
    // How the port reaches the program's main thread; refused while open.
    void SetMainThreadDispatcher(std::shared_ptr<TMainThreadDispatcher> dispatcher);

    // General-purpose integer of the owner; the port never uses it.
    std::intptr_t Tag() const { return TagValue.load(); }
    void SetTag(std::intptr_t value) { TagValue.store(value); }

    // ---- I/O ----------------------------------------------------------------------------------
    // Finishes the previous transfer in the same direction, then starts this one; with
    // waitOnCompletion it waits until the timeouts end it. Fewer bytes than asked: "Timeout".
    // Without waiting, the buffer must stay valid until the next transfer that direction.
    void Read(void* buffer, std::int32_t length, bool waitOnCompletion);
    void Write(const void* buffer, std::int32_t length, bool waitOnCompletion);
    std::uint8_t ReadChar();                    // waits up to the read timeout
    void WriteChar(std::uint8_t ch);            // starts the write and returns at once
    void WriteString(const std::string& bytes); // likewise; empty writes nothing
    std::int32_t InputCount(); // waiting input bytes; never blocks; closed port: system error
    void PurgeInput();         // drops unread input; nothing on a closed port
    void PurgeOutput();        // drops unsent output; nothing on a closed port
    TModemStatus ModemStatus();
    // Ends at once the wait for a write of the thread that uses the port, and every later one
    // until the port is next opened, with EComError (the system's code for a cancelled
    // operation); reads keep their timeouts. The one operation any thread may call at any time:
    // a window or a Ctrl+C handler uses it, so that a device that stopped taking bytes cannot
    // hold the worker.
    void CancelWrites();

    // ---- Events -------------------------------------------------------------------------------
    TOpenCloseEvent AfterClose, AfterOpen, BeforeClose, BeforeOpen;
    TReadWriteEvent AfterRead, AfterWrite, BeforeRead, BeforeWrite;

    TComErrorEvent OnError() const;
    void SetOnError(TComErrorEvent handler);
    TLineErrorEvent OnLineError() const;
    void SetOnLineError(TLineErrorEvent handler);
    // The twelve plain comm events. Assigning one (re)applies the event mask while open.
    TNotifyEvent OnBreak() const { return Notify(kBreak); }
    void SetOnBreak(TNotifyEvent h) { SetNotify(kBreak, std::move(h)); }
    TNotifyEvent OnCTSChange() const { return Notify(kCTSChange); }
    void SetOnCTSChange(TNotifyEvent h) { SetNotify(kCTSChange, std::move(h)); }
    TNotifyEvent OnDSRChange() const { return Notify(kDSRChange); }
    void SetOnDSRChange(TNotifyEvent h) { SetNotify(kDSRChange, std::move(h)); }
    TNotifyEvent OnEvent1() const { return Notify(kEvent1); }
    void SetOnEvent1(TNotifyEvent h) { SetNotify(kEvent1, std::move(h)); }
    TNotifyEvent OnEvent2() const { return Notify(kEvent2); }
    void SetOnEvent2(TNotifyEvent h) { SetNotify(kEvent2, std::move(h)); }
    TNotifyEvent OnPrinterError() const { return Notify(kPrinterError); }
    void SetOnPrinterError(TNotifyEvent h) { SetNotify(kPrinterError, std::move(h)); }
    TNotifyEvent OnRing() const { return Notify(kRing); }
    void SetOnRing(TNotifyEvent h) { SetNotify(kRing, std::move(h)); }
    TNotifyEvent OnRLSDChange() const { return Notify(kRLSDChange); }
    void SetOnRLSDChange(TNotifyEvent h) { SetNotify(kRLSDChange, std::move(h)); }
    TNotifyEvent OnRx80PercFull() const { return Notify(kRx80PercFull); }
    void SetOnRx80PercFull(TNotifyEvent h) { SetNotify(kRx80PercFull, std::move(h)); }
    TNotifyEvent OnRxChar() const { return Notify(kRxChar); }
    void SetOnRxChar(TNotifyEvent h) { SetNotify(kRxChar, std::move(h)); }
    TNotifyEvent OnRxFlag() const { return Notify(kRxFlag); }
    void SetOnRxFlag(TNotifyEvent h) { SetNotify(kRxFlag, std::move(h)); }
    TNotifyEvent OnTxEmpty() const { return Notify(kTxEmpty); }
    void SetOnTxEmpty(TNotifyEvent h) { SetNotify(kTxEmpty, std::move(h)); }

    // Raises EComError(message, code) after OnError had its say (caAbort: EAbort instead). The
    // kind comes from the platform's table for a system code, ekTimeout for "Timeout".
    [[noreturn]] void RaiseComError(std::int32_t code, const std::string& message);

    // True while an event thread runs for this port.
    bool EventThreadRunning() const;

protected:
    virtual void DoOpen(); // opens the device and applies every setting

private:
    friend class TFlowControl;
    friend class TCharacters;
    friend class TBufferSizes;
    friend class TTimeouts;
    friend class TComThread;

    enum TNotifyKind : std::uint8_t {
        kBreak,
        kCTSChange,
        kDSRChange,
        kEvent1,
        kEvent2,
        kPrinterError,
        kRing,
        kRLSDChange,
        kRx80PercFull,
        kRxChar,
        kRxFlag,
        kTxEmpty,
        kNotifyCount
    };

    void ApplyCommState();
    void ApplyBufferSizes();
    void ApplyTimeouts();
    void ApplyEventMask();
    void ReleaseHandles();
    void StartEventThread();
    void StopEventThread();
    void JoinEndedThreads(bool all);
    bool OnEventThread() const;

    void Check(std::int32_t code); // result testing: non-zero raises with the system's text
    [[noreturn]] void RaiseClosedPort();
    void RefuseWhileOpen();
    void WaitForRead();
    void WaitForWrite();
    void CheckLineErrors();
    bool LineCheckNeeded() const;
    TNotifyEvent Notify(TNotifyKind kind) const;
    void SetNotify(TNotifyKind kind, TNotifyEvent handler);
    std::uint32_t EventMask() const;
    void Dispatch(std::uint32_t events); // on the event thread or the main thread

    std::unique_ptr<TSerialPlatform> Platform;
    TMainThreadGate MainGate;
    std::optional<std::int32_t> SavedPriority;
    std::int32_t ReadAsked = 0;
    std::int32_t WriteAsked = 0;
    std::string WriteCopy; // the bytes of WriteChar/WriteString until that write is finished

    // Event thread: the running one and those stopped but not yet joined, under ThreadLock.
    mutable std::mutex ThreadLock;
    std::unique_ptr<TComThread> EventThread;
    std::vector<std::unique_ptr<TComThread>> EndingThreads;

    std::atomic<TThreadPriority> ThreadPriorityValue{tpTimeCritical};
    std::int32_t CustomBaudRateValue = 0;
    TBaudRate BaudRateValue = brDefault;
    TBufferSizes BufferSizesValue{this};
    TCharacters CharactersValue{this};
    TDataBits DataBitsValue = dbDefault;
    std::string DeviceNameValue = "COM1";
    TFlowControl FlowControlValue{this};
    TParity ParityValue = paDefault;
    TPriorityClass PriorityClassValue = pcDefault;
    TOptions OptionsValue;
    TStopBits StopBitsValue = sbDefault;
    std::atomic<bool> SynchronizeEventsValue{true};
    TTimeouts TimeoutsValue{this};
    std::atomic<std::intptr_t> TagValue{0};

    // Handlers the event thread reads, under HandlerLock.
    mutable std::mutex HandlerLock;
    TComErrorEvent OnErrorHandler;
    TLineErrorEvent OnLineErrorHandler;
    std::array<TNotifyEvent, kNotifyCount> NotifyHandlers;
    std::atomic<bool> LineErrorHandlerAssigned{false};
};

// The serial port as the program uses it; TComPort() uses the system's platform.
class TComPort : public TCustomComPort
{
public:
    TComPort();
    explicit TComPort(std::unique_ptr<TSerialPlatform> platform);
};
