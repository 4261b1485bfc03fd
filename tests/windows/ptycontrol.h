#pragma once

#include <cstddef>
#include <string>

// The Windows tests' side of the host harness (tests/windows/host/comharness.cpp): the master
// of the pseudo-terminal mapped to COM5, driven over the loopback control connection.
class TPtyControl
{
public:
    TPtyControl(); // connects to SRVDIAG_PTY_CONTROL; throws std::runtime_error without one
    ~TPtyControl();
    TPtyControl(const TPtyControl&) = delete;
    TPtyControl& operator=(const TPtyControl&) = delete;

    void Send(const std::string& bytes);
    // Up to n bytes that reach the master within ms milliseconds.
    std::string Receive(std::size_t n, int ms);
    void Drain();
    // The line settings as the master sees them: "9600 8 2 N" (bit rate, data bits, stop bits,
    // parity N/O/E).
    std::string LineSettings();
    // The DTR/RTS changes the preload library recorded, in order: "01,11,10" (DTR then RTS).
    std::string ModemLineChanges();
    void HangUp();

private:
    std::string Command(const std::string& line);
    unsigned long long Socket;
};

// The COM port the harness maps, and its device path.
inline constexpr const char* kTestPort = "COM5";
inline constexpr const char* kTestDevice = "\\\\.\\COM5";

// Empty when the prefix's registry maps COM5 to the link the harness points at its own pty
// (SRVDIAG_COM_LINK); else why not. Nothing may open COM5 unless this is empty.
std::string ComMappingProblem();

// True when the program runs under Wine (whose behaviour some checks allow for by name).
bool UnderWine();
