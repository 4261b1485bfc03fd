#include "serial/buffersizes.h"

#include "serial/comport.h"

void TBufferSizes::CopyFields(const TBufferSizes& other)
{
    InputValue = other.InputValue;
    OutputValue = other.OutputValue;
}

void TBufferSizes::Assign(const TBufferSizes& source)
{
    CopyFields(source);
    if (Port)
        Port->ApplyBufferSizes();
}

void TBufferSizes::Set(std::int32_t& field, std::int32_t value)
{
    if (field == value)
        return;
    field = value;
    if (Port)
        Port->ApplyBufferSizes();
}
