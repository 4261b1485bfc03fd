#pragma once

#include "worker/exchangeobserver.h"
#include "worker/stages.h"
#include "worker/wizardpages.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TComPort;
class TDeviceLister;
class TWorkerHost;

// The one background thread: it does all talking to the server. It parks while the window shows
// an input page, runs the connect stage on page 5 and the read-out on page 6, moves the wizard on,
// writes the trace file after a failed pass and carries out Back.
//
// The thread starts at the end of the constructor and parks itself in its first pass.
class TSerThread final
{
public:
    TSerThread(TWorkerHost& host, std::unique_ptr<TStages> stages);
    ~TSerThread(); // Terminate, Resume, WaitFor
    TSerThread(const TSerThread&) = delete;
    TSerThread& operator=(const TSerThread&) = delete;

    // ---- Called by the window, on the main thread -------------------------------------------
    bool Suspended() const; // parked by a synchronized park call
    void Resume();          // if parked: wake it; if a park call is queued: cancel it
    // BackRequested := true (the caller then resumes it if parked); ends a port wait at once.
    void RequestBack();
    void Terminate();  // termination request; ends a port wait at once
    void WaitFor();    // until the thread has ended, serving its synchronized calls
    void ServeCalls(); // run the worker's pending synchronized calls
    void SetDumpFileName(const std::filesystem::path& name); // hand-over on page 4

    // ---- Shared flags (atomic: read and written by both threads) ----------------------------
    bool Terminated() const { return TerminateRequested.load(); }
    bool BackRequested() const { return BackFlag.load(); }

    // ---- Worker-thread state used by the stages ---------------------------------------------
    TStageResult ResultCode() const { return Result.load(); }
    void SetResultCode(TStageResult code) { Result.store(code); }
    std::string Trace;    // record of the current attempt, entries of protocol/traceentry.h
    std::string Received; // bytes of the current exchange
    std::uint8_t ProgressPercent = 0;
    bool LinkOk = false;
    std::filesystem::path DumpFileName() const; // copy taken under the lock
    // Why the last trace file could not be written; empty when it was (or none was due yet).
    std::string TraceFileError() const;
    // The identification text the server sent in the last bring-up, as far as it came: all 17
    // characters (0x11, "VADOZIROZA" and six more) after a bring-up that accepted the server;
    // after a rejected one the characters up to the first wrong or missing answer; empty before
    // the first bring-up, when none was sent or the server was not reached. Any thread.
    std::string ServerIdText() const;
    // Why the last dump file could not be written in full; empty when it was (or none was due).
    std::string DumpFileError() const;
    void SetServerIdText(const std::string& text);  // worker thread, by bring-up
    void SetDumpFileError(const std::string& text); // worker thread, by the read-out

    // The trace and port events as they happen, told to the host's exchange observer too.
    void AppendTrace(const std::string& text);
    void ClearTrace();
    void NotePortStep(TPortStep step);
    void NotePortFailure(const char* operation, const std::exception& error);
    void NoteInputOutOfStep(std::int32_t waiting);

    TWorkerHost& Host() { return HostRef; }
    TComPort& SerIF();

    // Runs fn on the main thread and waits for it (through ServeCalls).
    void Synchronize(const std::function<void()>& fn);

    // ---- Stages (worker thread). Each is one file of worker/. --------------------------------
    void FindServer(TDeviceLister& lister);
    bool SendByte(TComPort& port, std::uint8_t value);
    int ReceiveByte(TComPort& port);
    void ExchangeBytes(TComPort& port, const std::string& data, const std::string& expected);
    void BringUpLink();
    void CheckLink(TComPort& port);
    void Transact(const std::string& request, bool headerFlag, std::uint8_t replyCount,
                  std::string& reply);
    void ReadMemory();
    void ShowProgress(); // synchronized display of ProgressPercent

private:
    void Execute(); // the thread body
    void Park();
    void WriteTraceFile();
    void CancelPortWait();     // any thread
    void RunStage(TPage page); // Connect on page 5, ReadOut on 6; a throw is a communication error

    TWorkerHost& HostRef;
    std::unique_ptr<TStages> Stages;

    std::atomic<bool> TerminateRequested{false};
    std::atomic<bool> BackFlag{false};
    std::atomic<TStageResult> Result{srSuccess};

    mutable std::mutex Lock; // guards everything below
    std::condition_variable Cond;
    bool SuspendedMark = false;
    bool Finished = false;
    std::deque<std::function<void()>*> PendingCalls;
    std::filesystem::path DumpName;
    std::string TraceError;
    std::string ServerId;
    std::string DumpError;
    bool ParkPending = false;      // park call queued, not yet run by the main thread
    bool ParkCancelled = false;    // a resume arrived while the park call was queued
    std::uint64_t QueuedCalls = 0; // synchronized calls queued so far
    std::uint64_t ServedCalls = 0; // ... and run by the main thread so far

    std::thread Thread; // last: started when everything above exists
};
