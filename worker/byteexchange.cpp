#include "protocol/traceentry.h"
#include "serial/comport.h"
#include "worker/serthread.h"

#include <string>

bool TSerThread::SendByte(TComPort& port, std::uint8_t value)
{
    if (Terminated() || BackRequested())
        return false;
    bool written = true;
    try {
        port.WriteChar(value);
    } catch (const std::exception& e) {
        NotePortFailure("write", e);
        AppendTrace(FailureMark());
        written = false;
    }
    AppendTrace(ByteSentEntry(value));
    return written;
}

int TSerThread::ReceiveByte(TComPort& port)
{
    int result = -1;
    if (Terminated() || BackRequested())
        return result;
    std::int32_t waiting = 0;
    try {
        waiting = port.InputCount();
    } catch (const std::exception& e) {
        // The port is closed or the device vanished (unplugged): no byte, and the link is lost.
        NotePortFailure("input count", e);
        waiting = -1;
        LinkOk = false;
    }
    if (waiting >= 2)
        NoteInputOutOfStep(waiting);
    if (waiting >= 0 && waiting < 2) {
        try {
            result = port.ReadChar();
        } catch (const std::exception& e) {
            NotePortFailure("read", e);
            result = -1;
        }
    }
    // Two or more waiting bytes mean the exchange is out of step: they count as no answer.
    AppendTrace(ByteReceivedEntry(result));
    return result;
}

void TSerThread::ExchangeBytes(TComPort& port, const std::string& data, const std::string& expected)
{
    if (ResultCode() != srSuccess || Terminated() || BackRequested())
        return;
    Received.clear();
    for (char byte : data) {
        if (!LinkOk)
            break;
        if (!SendByte(port, static_cast<std::uint8_t>(byte))) {
            LinkOk = false;
            break;
        }
        const int answer = ReceiveByte(port);
        if (answer < 0) {
            Received.clear();
            break;
        }
        Received += static_cast<char>(answer);
    }
    if (LinkOk && !expected.empty())
        LinkOk = Received == expected;
}
