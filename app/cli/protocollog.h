#pragma once

#include "app/cli/verdicttexts.h"
#include "worker/exchangeobserver.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

// The live protocol log of srvdiag-cli -v: every port step and every exchange as the worker
// makes it, decoded by the trace walk, one line each with the milliseconds since the log
// began. The worker only hands its events over (its thread never waits for the terminal): the
// lines are collected here and printed by the main thread, which wake() asks to come soon.
// Without wake the log keeps no lines, only the walk and its verdict.
class TProtocolLog final : public TExchangeObserver
{
public:
    explicit TProtocolLog(std::function<void()> wake);

    // ---- TExchangeObserver (worker thread) -------------------------------------------------
    void TraceCleared() override;
    void TraceAppended(const std::string& text) override;
    void PortStepDone(TPortStep step) override;
    void PortFailed(const char* operation, const std::exception& error) override;
    void InputOutOfStep(std::int32_t waiting) override;

    // ---- Main thread -------------------------------------------------------------------------
    std::string TakeLines(); // the lines logged since the last call, each ending in a line feed
    // The record is over (the worker has ended): the lines still due and the verdict line.
    std::string Finish();
    TTraceVerdict Verdict() const; // of the current (or last) attempt

private:
    using TClock = std::chrono::steady_clock;
    void Add(const std::string& text); // caller holds Lock
    void AddSteps(const std::vector<TTraceStep>& steps);
    void AddEnd(); // the walk's last steps and its verdict line; caller holds Lock

    const TClock::time_point Start = TClock::now();
    const std::function<void()> Wake;
    mutable std::mutex Lock; // guards everything below
    TTraceWalker Walker;
    bool Recording = false; // the walker has seen the current attempt's first text
    std::string Lines;
};
