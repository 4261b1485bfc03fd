#pragma once

#include <deque>
#include <functional>
#include <memory>

// The main loop of the command-line program: it waits for a wake-up from another thread and for
// Ctrl+C, and runs calls queued on the main thread in between. Ctrl+C is taken from the system
// (signalfd and eventfd on Linux, a console control handler and an event on Windows) so that it
// is handled on the main thread like any other event; it must be made before any other thread.
class TCliLoop
{
public:
    TCliLoop();
    ~TCliLoop();
    TCliLoop(const TCliLoop&) = delete;
    TCliLoop& operator=(const TCliLoop&) = delete;

    // Any thread: the loop runs its wake handler soon. Wake-ups that come together may be run
    // as one.
    void Wake();
    // Main thread: fn runs from the loop, after the handler that queued it has returned.
    void Post(std::function<void()> fn);
    // Runs until Quit: onWake for each wake-up, onInterrupt for the first Ctrl+C (after which a
    // second Ctrl+C ends the program at once). Returns the code given to Quit.
    int Run(const std::function<void()>& onWake, const std::function<void()>& onInterrupt);
    void Quit(int code); // main thread
    // The exit status of an interrupted run: 128 + the number of the signal that interrupted it
    // (130 for Ctrl+C; on Linux also 143 for SIGTERM and 129 for SIGHUP).
    int InterruptedStatus() const { return 128 + InterruptSignal; }

private:
    struct TSystem; // the platform's descriptors or handles
    struct TWaitResult
    {
        bool Woken = false;
        bool Interrupted = false;
        int Signal = 0; // the signal that interrupted, when the platform tells (else SIGINT)
    };
    // The platform's wait for a wake-up or, while watchInterrupt, the first Ctrl+C; reporting
    // Ctrl+C also lets a second one end the program.
    TWaitResult WaitForEvents(bool watchInterrupt);

    std::unique_ptr<TSystem> System;
    std::deque<std::function<void()>> Posted;
    bool Quitting = false;
    int QuitCode = 0;
    int InterruptSignal = 2; // SIGINT until another signal interrupts
};
