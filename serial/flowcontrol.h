#pragma once

#include "serial/comtypes.h"

#include <cstdint>

class TCustomComPort;

// Handshake settings of a port: the DTR and RTS line control, XON/XOFF and its limits. A change
// reaches the device at once while the port is open.
class TFlowControl
{
public:
    explicit TFlowControl(TCustomComPort* port = nullptr) : Port(port) {}
    TFlowControl(const TFlowControl& other) : TFlowControl() { CopyFields(other); }
    TFlowControl& operator=(const TFlowControl&) = delete;
    void Assign(const TFlowControl& source); // copies the settings, then applies them once

    TDTRControl DTR() const { return DTRValue; }
    void SetDTR(TDTRControl value);
    TRTSControl RTS() const { return RTSValue; }
    void SetRTS(TRTSControl value);
    TXOnXOffControl XOnXOff() const { return XOnXOffValue; }
    void SetXOnXOff(TXOnXOffControl value);
    std::uint16_t XOnLimit() const { return XOnLimitValue; }
    void SetXOnLimit(std::uint16_t value);
    std::uint16_t XOffLimit() const { return XOffLimitValue; }
    void SetXOffLimit(std::uint16_t value);

private:
    void CopyFields(const TFlowControl& other);
    void Changed();

    TCustomComPort* Port;
    TDTRControl DTRValue = dcDefault;
    TRTSControl RTSValue = rcDefault;
    TXOnXOffControl XOnXOffValue = xcDefault;
    std::uint16_t XOnLimitValue = 0;
    std::uint16_t XOffLimitValue = 0;
};
