// The Windows build has no user-interface thread yet: every call runs at once on the thread that
// makes it, and an escaped handler exception is reported on the standard error stream.
#include "serial/mainthreadcall.h"

#include <cstdio>

void RunOnMainThread(const std::function<void()>& fn)
{
    fn();
}

bool OffMainThread()
{
    return false;
}

void ServeMainThreadCalls() {}

void ReportHandlerException(const char* what)
{
    std::fprintf(stderr, "serial port event handler: %s\n", what);
}
