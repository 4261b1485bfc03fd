#pragma once

#include <cstdint>

class TCustomComPort;

// The driver queue sizes a port asks for, in bytes.
class TBufferSizes
{
public:
    explicit TBufferSizes(TCustomComPort* port = nullptr) : Port(port) {}
    TBufferSizes(const TBufferSizes& other) : TBufferSizes() { CopyFields(other); }
    TBufferSizes& operator=(const TBufferSizes&) = delete;
    void Assign(const TBufferSizes& source);

    std::int32_t Input() const { return InputValue; }
    void SetInput(std::int32_t value) { Set(InputValue, value); }
    std::int32_t Output() const { return OutputValue; }
    void SetOutput(std::int32_t value) { Set(OutputValue, value); }

private:
    void CopyFields(const TBufferSizes& other);
    void Set(std::int32_t& field, std::int32_t value);

    TCustomComPort* Port;
    std::int32_t InputValue = 4096;
    std::int32_t OutputValue = 2048;
};
