#include "protocol/constants.h"
#include "protocol/identification.h"
#include "protocol/traceentry.h"
#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"
#include "worker/workerhost.h"

#include <chrono>
#include <string>

namespace {

// A write the server does not take within this long counts as failed, so that a server which
// stopped reading (a hung firmware, a stalled endpoint) cannot hold the worker: a whole second,
// plus two milliseconds a byte where a byte takes 1.15 ms at 9600 baud with 11 bits.
constexpr std::int32_t WriteBoundMs = 1000;
constexpr std::int32_t WriteMsPerByte = 2;

std::int32_t Milliseconds(std::chrono::milliseconds duration)
{
    return static_cast<std::int32_t>(duration.count());
}

} // namespace

void TSerThread::BringUpLink()
{
    if (ResultCode() != srSuccess)
        return;
    SetResultCode(srNotFound);
    SetServerIdText("");
    TComPort& port = SerIF();
    ReleaseServerPort(port);

    bool opened = false;
    try {
        // The attempt-start entry replaces the whole trace.
        ClearTrace();
        AppendTrace(AttemptStartEntry(port.DeviceName()));
        port.Timeouts().SetReadConstant(Milliseconds(LinkTiming::WakingReadTimeout));
        port.Timeouts().SetWriteConstant(WriteBoundMs);
        port.Timeouts().SetWriteMultiplier(WriteMsPerByte);
        port.FlowControl().SetDTR(dcDisable);
        port.FlowControl().SetRTS(rcEnable);
        try {
            port.Open();
        } catch (const EComError& error) {
            NotePortFailure("open", error);
            Host().PortOpenFailed(port.DeviceName(), error);
            throw;
        }
        opened = true;
        NotePortStep(TPortStep::Opened);
        Host().Clock().SleepFor(LinkTiming::PauseAfterOpen);
        port.FlowControl().SetDTR(dcEnable);
        NotePortStep(TPortStep::DtrOn);
        port.FlowControl().SetRTS(rcDisable);
        NotePortStep(TPortStep::RtsOff);
        Host().Clock().SleepFor(LinkTiming::PauseAfterLineChange);
        port.PurgeInput();
        NotePortStep(TPortStep::InputPurged);
        port.SetTag(tgWorkerHoldsPort);

        // Probe: a server that answers 0x55 and then keeps sending identification characters
        // is in a state that waking cannot fix.
        int last = -1;
        SendByte(port, LinkByte::Probe);
        if (ReceiveByte(port) == LinkByte::ProbeAnswer) {
            for (int i = 0; i < LinkByte::MostProbeContinuations; ++i) {
                SendByte(port, LinkByte::ProbeContinuation);
                last = ReceiveByte(port);
                if (!IsIdentificationChar(last))
                    break;
            }
        }
        if (last >= 0)
            return;

        // Wake: stop at the first 0x00, or at a missing answer once three were tolerated.
        for (int counter = LinkByte::WakeCounterStart;;) {
            --counter;
            SendByte(port, LinkByte::Wake);
            const int b = ReceiveByte(port);
            if ((b == -1 && counter < LinkByte::WakeToleranceBound) || counter == 0 ||
                b == LinkByte::WakeAnswer)
                break;
        }

        // Identification: the first wrong or missing answer ends bring-up.
        std::string identification;
        for (int step = 1; step <= IdentificationSteps; ++step) {
            SendByte(port, IdentificationByte(step));
            const int b = ReceiveByte(port);
            if (!IdentificationAnswerOk(step, b))
                return;
            if (IdentificationAnswerKept(step))
                identification += static_cast<char>(b);
            // Shown from step 3 on: step 1's answer alone may be anything but 0x00.
            if (step >= 3)
                SetServerIdText(identification);
        }
        if (!IdentificationAccepted(identification))
            return;
        port.Timeouts().SetReadConstant(Milliseconds(LinkTiming::IdentifiedReadTimeout));
        NotePortStep(TPortStep::Accepted);
        SetResultCode(srSuccess);
    } catch (const std::exception&) {
        // Opened but not yet owned (Tag still 0): nobody else would ever close it.
        if (opened && port.Tag() == tgPortFree) {
            try {
                port.Close();
            } catch (const std::exception&) {
            }
        }
    }
}
