#pragma once

#include <functional>

// Runs fn on the Qt application's main thread and waits for it. Without a QCoreApplication, or
// when called on the main thread, fn runs at once on the calling thread.
void RunOnMainThread(const std::function<void()>& fn);

// True when a QCoreApplication exists and the caller is not on its thread.
bool OffMainThread();

// Pumps the main thread's queued calls once (used while the main thread waits for a thread
// that may be waiting in RunOnMainThread).
void ServeMainThreadCalls();

// The application's report of an exception that escaped an event handler.
void ReportHandlerException(const char* what);
