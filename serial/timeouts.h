#pragma once

#include <cstdint>

class TCustomComPort;

// The five timeouts of a port in milliseconds, with the Win32 meaning (see TCommTimeouts). A
// change reaches the device at once while the port is open.
class TTimeouts
{
public:
    explicit TTimeouts(TCustomComPort* port = nullptr) : Port(port) {}
    TTimeouts(const TTimeouts& other) : TTimeouts() { CopyFields(other); }
    TTimeouts& operator=(const TTimeouts&) = delete;
    void Assign(const TTimeouts& source);

    std::int32_t ReadInterval() const { return ReadIntervalValue; }
    void SetReadInterval(std::int32_t ms) { Set(ReadIntervalValue, ms); }
    std::int32_t ReadMultiplier() const { return ReadMultiplierValue; }
    void SetReadMultiplier(std::int32_t ms) { Set(ReadMultiplierValue, ms); }
    std::int32_t ReadConstant() const { return ReadConstantValue; }
    void SetReadConstant(std::int32_t ms) { Set(ReadConstantValue, ms); }
    std::int32_t WriteMultiplier() const { return WriteMultiplierValue; }
    void SetWriteMultiplier(std::int32_t ms) { Set(WriteMultiplierValue, ms); }
    std::int32_t WriteConstant() const { return WriteConstantValue; }
    void SetWriteConstant(std::int32_t ms) { Set(WriteConstantValue, ms); }

private:
    void CopyFields(const TTimeouts& other);
    void Set(std::int32_t& field, std::int32_t value);

    TCustomComPort* Port;
    std::int32_t ReadIntervalValue = 0;
    std::int32_t ReadMultiplierValue = 0;
    std::int32_t ReadConstantValue = 0;
    std::int32_t WriteMultiplierValue = 0;
    std::int32_t WriteConstantValue = 0;
};
