#include "serial/comport.h"
#include "worker/serthread.h"
#include "worker/serverport.h"
#include "worker/workerhost.h"

#include <chrono>
#include <string>
#include <thread>

namespace {

constexpr std::int32_t WakeTimeoutMs = 50;
constexpr std::int32_t LinkTimeoutMs = 350;
// A write the server does not take within this long counts as failed, so that a server which
// stopped reading (a hung firmware, a stalled endpoint) cannot hold the worker: a whole second,
// plus two milliseconds a byte where a byte takes 1.15 ms at 9600 baud with 11 bits.
constexpr std::int32_t WriteBoundMs = 1000;
constexpr std::int32_t WriteMsPerByte = 2;
constexpr std::uint8_t ProbeAnswer = 0x55;
constexpr int MostProbeContinuations = 17;
constexpr int WakeCounterStart = 66;
constexpr int WakeToleranceBound = 63;
constexpr std::size_t IdentificationSteps = 16; // the identification characters of steps 4 to 19
const std::string IdentificationPrefix = std::string("\x11") + "VADOZIROZA";

bool IsIdentificationChar(int b)
{
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= '[');
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
        AppendTrace("USB" + port.DeviceName() + '\r');
        port.Timeouts().SetReadConstant(WakeTimeoutMs);
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
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        port.FlowControl().SetDTR(dcEnable);
        NotePortStep(TPortStep::DtrOn);
        port.FlowControl().SetRTS(rcDisable);
        NotePortStep(TPortStep::RtsOff);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port.PurgeInput();
        NotePortStep(TPortStep::InputPurged);
        port.SetTag(tgWorkerHoldsPort);

        // Probe: a server that answers 0x55 and then keeps sending identification characters
        // is in a state that waking cannot fix.
        int last = -1;
        SendByte(port, 0x00);
        if (ReceiveByte(port) == ProbeAnswer) {
            for (int i = 0; i < MostProbeContinuations; ++i) {
                SendByte(port, ProbeAnswer);
                last = ReceiveByte(port);
                if (!IsIdentificationChar(last))
                    break;
            }
        }
        if (last >= 0)
            return;

        // Wake: stop at the first 0x00, or at a missing answer once three were tolerated.
        for (int counter = WakeCounterStart;;) {
            --counter;
            SendByte(port, 0x00);
            const int b = ReceiveByte(port);
            if ((b == -1 && counter < WakeToleranceBound) || counter == 0 || b == 0)
                break;
        }

        // Identification: the first wrong or missing answer ends bring-up.
        const auto exchange = [&](std::uint8_t out) {
            SendByte(port, out);
            return ReceiveByte(port);
        };
        const int first = exchange(0x80);
        if (first < 1)
            return;
        if (exchange(0x00) != 0x55 || exchange(0xA5) != 0xF0)
            return;
        std::string identification(1, static_cast<char>(first));
        SetServerIdText(identification);
        for (std::size_t i = 0; i < IdentificationSteps; ++i) {
            const int b = exchange(0x55);
            if (!IsIdentificationChar(b))
                return;
            identification += static_cast<char>(b);
            SetServerIdText(identification);
        }
        if (identification.compare(0, IdentificationPrefix.size(), IdentificationPrefix) != 0)
            return;
        port.Timeouts().SetReadConstant(LinkTimeoutMs);
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
