#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

// The one failure of the serial port component: the message text and the system error code,
// or 0 for the component's own errors.
class EComError : public std::runtime_error
{
public:
    EComError(const std::string& message, std::int32_t errorCode);
    std::int32_t ErrorCode() const { return Code; }

private:
    std::int32_t Code;
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
