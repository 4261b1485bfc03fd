#include "serial/flowcontrol.h"

#include "serial/comport.h"

namespace {
template <typename T> bool Store(T& field, T value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void TFlowControl::CopyFields(const TFlowControl& other)
{
    DTRValue = other.DTRValue;
    RTSValue = other.RTSValue;
    XOnXOffValue = other.XOnXOffValue;
    XOnLimitValue = other.XOnLimitValue;
    XOffLimitValue = other.XOffLimitValue;
}

void TFlowControl::Assign(const TFlowControl& source)
{
    CopyFields(source);
    Changed();
}

void TFlowControl::Changed()
{
    if (Port)
        Port->ApplyCommState();
}

void TFlowControl::SetDTR(TDTRControl value)
{
    if (Store(DTRValue, value))
        Changed();
}

void TFlowControl::SetRTS(TRTSControl value)
{
    if (Store(RTSValue, value))
        Changed();
}

void TFlowControl::SetXOnXOff(TXOnXOffControl value)
{
    if (Store(XOnXOffValue, value))
        Changed();
}

void TFlowControl::SetXOnLimit(std::uint16_t value)
{
    if (Store(XOnLimitValue, value))
        Changed();
}

void TFlowControl::SetXOffLimit(std::uint16_t value)
{
    if (Store(XOffLimitValue, value))
        Changed();
}
