#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Turns usbmon's text log of the host side of a USB bus into the record of the server's lines
// that srvdiag-virtualserver writes for its umockdev device, so both are checked alike. What
// cdc_acm does with the tool's port reaches the bus as:
//   an interrupt URB submitted         the port was opened (cdc_acm starts reading its state)
//   SET_CONTROL_LINE_STATE (21 22)     DTR (bit 0) and RTS (bit 1) of wValue
//   SET_LINE_CODING (21 20)            rate, stop bits, parity and data bits in its 7 data bytes
//   bulk OUT URB submitted             data sent to the server
//   interrupt URB ended with an error  the port was closed (-2, -104: killed) or the device left
// Events, one a line, milliseconds since the first event (three decimals), then
//   "open DTR=d RTS=r"  the line state sent right after an open
//   "DTR=d RTS=r"       a later line state that changed them
//   "write"             the first bulk OUT after an open or a line change
//   "coding R DPS"      a line coding, e.g. "coding 9600 8N2"
//   "close"             the port's last close
//   "gone"              the device left the bus while open
// The root hub (device 1) is left out. Not thread-safe.
class TUsbmonLines
{
public:
    void Feed(const std::string& line);
    const std::vector<std::string>& Events() const { return Log; }

private:
    void Note(std::uint32_t stamp, const std::string& what);

    bool HaveStart = false;
    std::uint32_t Start = 0;
    bool Open = false;
    bool OpenPending = false;
    bool WriteNoted = false;
    int Lines = -1; // last wValue of SET_CONTROL_LINE_STATE, -1 none yet
    std::vector<std::string> Log;
};
