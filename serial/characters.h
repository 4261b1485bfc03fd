#pragma once

#include <cstdint>

class TCustomComPort;

// The special characters of a port: XON, XOFF, the error replacement, end-of-file and event
// characters. A change reaches the device at once while the port is open.
class TCharacters
{
public:
    explicit TCharacters(TCustomComPort* port = nullptr) : Port(port) {}
    TCharacters(const TCharacters& other) : TCharacters() { CopyFields(other); }
    TCharacters& operator=(const TCharacters&) = delete;
    void Assign(const TCharacters& source);

    std::uint8_t XOn() const { return XOnValue; }
    void SetXOn(std::uint8_t value) { Set(XOnValue, value); }
    std::uint8_t XOff() const { return XOffValue; }
    void SetXOff(std::uint8_t value) { Set(XOffValue, value); }
    std::uint8_t Error() const { return ErrorValue; }
    void SetError(std::uint8_t value) { Set(ErrorValue, value); }
    std::uint8_t Eof() const { return EofValue; }
    void SetEof(std::uint8_t value) { Set(EofValue, value); }
    std::uint8_t Event() const { return EventValue; }
    void SetEvent(std::uint8_t value) { Set(EventValue, value); }

private:
    void CopyFields(const TCharacters& other);
    void Set(std::uint8_t& field, std::uint8_t value);

    TCustomComPort* Port;
    std::uint8_t XOnValue = 17;
    std::uint8_t XOffValue = 19;
    std::uint8_t ErrorValue = 0;
    std::uint8_t EofValue = 0;
    std::uint8_t EventValue = 0;
};
