#include "serial/comerror.h"

EComError::EComError(const std::string& message, std::int32_t errorCode)
    : std::runtime_error(message), Code(errorCode)
{
}
