#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;

// The modem-control lines of the virtual ttyACM0, which a pseudo-terminal does not have: the
// recorder keeps DTR and RTS as a CDC-ACM device would and notes every change with its time.
//
// Events, one a line in Write(): milliseconds since the recorder was made (three decimals), then
//   "open DTR=1 RTS=1"   the device was opened (the kernel raises both lines on open)
//   "DTR=d RTS=r"        the lines after a TIOCMSET, TIOCMBIS or TIOCMBIC that changed them
//   "write"              the first write after an open or a line change
// umockdev 0.17 does not report a close to the handler, so the record has no close event.
// Thread-safe: umockdev calls it on its own worker thread.
class TLineRecorder
{
public:
    TLineRecorder();

    void Opened();
    void Written();
    // Applies a modem-control request to the lines; returns the line bits TIOCMGET reports.
    int Apply(unsigned long request, int bits);

    std::vector<std::string> Events() const;
    bool Write(const std::string& path) const;

private:
    void Note(const std::string& what); // caller holds Lock
    std::string Lines() const;          // caller holds Lock

    const std::chrono::steady_clock::time_point Start;
    mutable std::mutex Lock;
    bool Dtr = false;
    bool Rts = false;
    bool WriteNoted = false;
    std::vector<std::string> Log;
};

// A umockdev ioctl handler that emulates TIOCMGET/TIOCMSET/TIOCMBIS/TIOCMBIC on the recorder
// and hands every other request, read and write to the real pseudo-terminal. The recorder must
// outlive the handler. Release with g_object_unref.
UMockdevIoctlBase* NewLineHandler(TLineRecorder& recorder);
