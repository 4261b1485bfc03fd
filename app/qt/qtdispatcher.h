#pragma once

#include "serial/mainthreadcall.h"

#include <memory>

// The port's way to the main thread in the Qt front end: a queued call on the application's
// event loop.
std::shared_ptr<TMainThreadDispatcher> MakeQtDispatcher();
