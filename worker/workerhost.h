#pragma once

#include "serial/clock.h"
#include "worker/outputfile.h"
#include "worker/wizardpages.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

class EComError;
class TComPort;
class TExchangeObserver;

// What the wizard offers the worker. The worker holds a reference for its whole life.
//
// Page, NextEnabled, TracePath, SerIF and ShutdownChecked are read (and Page written) directly on
// the worker thread, so implementations keep them safe to use from both threads (atomics, or
// values that do not change while the worker exists).
//
// ShowPage, ShowProgress and AddRecent are only ever run on the main thread, inside one of the
// worker's synchronized calls (TSerThread::ServeCalls), while the worker waits for them.
class TWorkerHost
{
public:
    virtual ~TWorkerHost() = default;

    virtual TPage Page() const = 0;
    virtual void SetPage(TPage page) = 0;
    // The enabled state of Next as the last page update (or file box change) left it.
    virtual bool NextEnabled() const = 0;
    // Where the worker writes the trace file after a failed pass. Called on the worker thread.
    virtual std::filesystem::path TracePath() const = 0;
    virtual TComPort& SerIF() = 0;
    virtual bool ShutdownChecked() const = 0;
    // The clock of the worker's pauses: the steady clock, or a simulated one in tests. Called
    // on the worker thread.
    virtual TClock& Clock() { return SteadyClock(); }

    // Called on the worker thread when bring-up cannot open the port: a host may explain a port
    // the user may not open or another program holds (OpenFailureHint) where its user sees it.
    virtual void PortOpenFailed(const std::string& deviceName, const EComError& error)
    {
        (void)deviceName;
        (void)error;
    }

    // Writes the read-out's dump, count bytes, to name (the worker's DumpFileName). Called on
    // the worker thread. By default the file of that name is created or its content replaced; a
    // host that made the dump's file itself writes through what it holds open. Gives the number
    // of bytes written or -1, with the reason in error.
    virtual long WriteDump(const std::filesystem::path& name, const char* data, std::size_t count,
                           std::string& error)
    {
        return WriteOutputFile(name, data, count, &error);
    }

    // Who watches the exchange live, or none (the window). Called on the worker thread; the
    // observer must live as long as the worker.
    virtual TExchangeObserver* ExchangeObserver() { return nullptr; }

    // Called on the worker thread after it queued a synchronized call: the main thread must run
    // TSerThread::ServeCalls soon (the window posts a queued call to its event loop).
    virtual void WakeMainThread() = 0;

    // Main thread only, inside a synchronized call.
    virtual void ShowPage() = 0;
    virtual void ShowProgress(std::uint8_t percent) = 0;
    virtual void AddRecent() = 0;
};
