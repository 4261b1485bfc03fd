#include "serial/characters.h"

#include "serial/comport.h"

void TCharacters::CopyFields(const TCharacters& other)
{
    XOnValue = other.XOnValue;
    XOffValue = other.XOffValue;
    ErrorValue = other.ErrorValue;
    EofValue = other.EofValue;
    EventValue = other.EventValue;
}

void TCharacters::Assign(const TCharacters& source)
{
    CopyFields(source);
    if (Port)
        Port->ApplyCommState();
}

void TCharacters::Set(std::uint8_t& field, std::uint8_t value)
{
    if (field == value)
        return;
    field = value;
    if (Port)
        Port->ApplyCommState();
}
