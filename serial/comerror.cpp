#include "serial/comerror.h"

EComError::EComError(const std::string& message, std::int32_t errorCode, TComErrorKind kind)
    : std::runtime_error(message), Code(errorCode), KindValue(kind)
{
}
