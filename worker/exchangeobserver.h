#pragma once

#include <cstdint>
#include <exception>
#include <string>

// What the worker does on the line while it does it, for a host that shows it live (the
// command line's protocol log). The trace text is the same the trace file gets; the port steps
// and failures are what the trace does not record. Nothing here changes the protocol.
enum class TPortStep : std::uint8_t {
    Opened,      // the port is open, DTR off and RTS on
    DtrOn,       // DTR switched on, RTS still on
    RtsOff,      // RTS switched off, DTR on
    InputPurged, // input received so far dropped
    Accepted,    // the server identified itself: the read timeout is now the longer one
};

// All calls come from the worker thread, in the order things happen.
class TExchangeObserver
{
public:
    virtual ~TExchangeObserver() = default;
    virtual void TraceCleared() = 0;                         // a new attempt's record begins
    virtual void TraceAppended(const std::string& text) = 0; // exactly what the trace gained
    virtual void PortStepDone(TPortStep step) = 0;
    // A port operation failed and the worker caught it ("open", "write", "read", "input count").
    virtual void PortFailed(const char* operation, const std::exception& error) = 0;
    // An answer was due while this many bytes already waited: the exchange is out of step, and
    // the worker takes it as no answer without reading them.
    virtual void InputOutOfStep(std::int32_t waiting) { (void)waiting; }
};
