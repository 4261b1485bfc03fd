#include "serial/timeouts.h"

#include "serial/comport.h"

void TTimeouts::CopyFields(const TTimeouts& other)
{
    ReadIntervalValue = other.ReadIntervalValue;
    ReadMultiplierValue = other.ReadMultiplierValue;
    ReadConstantValue = other.ReadConstantValue;
    WriteMultiplierValue = other.WriteMultiplierValue;
    WriteConstantValue = other.WriteConstantValue;
}

void TTimeouts::Assign(const TTimeouts& source)
{
    CopyFields(source);
    if (Port)
        Port->ApplyTimeouts();
}

void TTimeouts::Set(std::int32_t& field, std::int32_t value)
{
    if (field == value)
        return;
    field = value;
    if (Port)
        Port->ApplyTimeouts();
}
