#pragma once

#include <chrono>
#include <functional>

// The longest a window test waits for something its event loop brings: it only ends a test that
// would otherwise hang, far beyond what a busy machine makes of a wait of milliseconds.
constexpr std::chrono::milliseconds QtHangGuard = std::chrono::minutes(2);

// Runs the application's event loop until done() holds, looking at done() after each batch of
// events and never between them: what it waits for must come with an event (a page the worker
// shows, the worker's park, the window's activation, a wake-up a test posts). Returns done(),
// false only when limit passed first.
bool ServeEventsUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = QtHangGuard);
