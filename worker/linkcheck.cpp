#include "protocol/constants.h"
#include "serial/comport.h"
#include "worker/serthread.h"

#include <string>

void TSerThread::CheckLink(TComPort& port)
{
    if (ResultCode() != srSuccess || Terminated() || BackRequested())
        return;
    const std::string zero(1, static_cast<char>(LinkByte::LinkCheck));
    // The server stays silent on the first byte and echoes the second: an answer to the first
    // means it is out of step.
    ExchangeBytes(port, zero, "");
    LinkOk = Received.empty();
    ExchangeBytes(port, zero, "");
    LinkOk = Received == zero;
    if (!Terminated() && !BackRequested() && !LinkOk)
        SetResultCode(srCommError);
}
