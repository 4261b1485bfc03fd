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

private:
    struct TSystem; // the platform's descriptors or handles
    struct TWaitResult
    {
        bool Woken = false;
        bool Interrupted = false;
    };
    // The platform's wait for a wake-up or, while watchInterrupt, the first Ctrl+C; reporting
    // Ctrl+C also lets a second one end the program.
    TWaitResult WaitForEvents(bool watchInterrupt);

    std::unique_ptr<TSystem> System;
    std::deque<std::function<void()>> Posted;
    bool Quitting = false;
    int QuitCode = 0;
};
