#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

// What went wrong, in terms every platform shares. Each platform maps its native codes to a
// kind from one table (comerrorkind_linux.cpp, comerrorkind_win32.cpp); the worker and the
// hosts decide on the kind, never on a native code.
enum TComErrorKind : std::uint8_t {
    ekOther,
    ekAccessDenied, // the user may not open the device
    ekBusy,         // another program holds it
    ekNotFound,     // no such device
    ekDeviceGone,   // it was unplugged or failed while in use
    ekTimeout,      // a transfer did not finish in time
};

// The one failure of the serial port component: the message text and the system error code,
// or 0 for the component's own errors, and the portable kind of the failure.
class EComError : public std::runtime_error
{
public:
    EComError(const std::string& message, std::int32_t errorCode, TComErrorKind kind = ekOther);
    std::int32_t ErrorCode() const { return Code; }
    TComErrorKind Kind() const { return KindValue; }

private:
    std::int32_t Code;
    TComErrorKind KindValue;
};

// The silent abort an OnError handler asks for with caAbort: it unwinds like any exception but
// is never shown to the user.
class EAbort : public std::exception
{
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// The component's own messages.
namespace ComMessage {
inline constexpr const char* ClosedPort = "Can't perform this operation on a closed port";
inline constexpr const char* OpenPort = "Can't perform this operation on an open port";
inline constexpr const char* CreateThread = "Can't create thread";
inline constexpr const char* Timeout = "Timeout";
} // namespace ComMessage

// One row of a platform's table of native error codes.
struct TComErrorKindRow
{
    std::int32_t Code;
    TComErrorKind Kind;
};

// The kind of a native code of the system the program runs on (ekOther for a code the table
// does not hold, and for 0).
TComErrorKind SystemComErrorKind(std::int32_t code);
