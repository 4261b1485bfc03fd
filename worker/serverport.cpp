#include "worker/serverport.h"

#include "serial/comport.h"

#include <exception>

std::unique_ptr<TComPort> MakeServerPort(std::unique_ptr<TSerialPlatform> platform)
{
    auto port =
        platform ? std::make_unique<TComPort>(std::move(platform)) : std::make_unique<TComPort>();
    port->SetDeviceName("COM2");
    port->SetBaudRate(br9600);
    port->SetDataBits(db8);
    port->SetParity(paNone);
    port->SetStopBits(sb2);
    port->FlowControl().SetDTR(dcDisable);
    port->FlowControl().SetRTS(rcEnable);
    port->FlowControl().SetXOnXOff(xcDisable);
    port->SetPriorityClass(pcNormal);
    return port;
}

void ReleaseServerPort(TComPort& port)
{
    if (port.Tag() <= tgPortFree)
        return;
    try {
        port.Close();
        port.SetTag(tgPortFree);
    } catch (const std::exception&) {
        // Tag stays set: the next release tries again.
    }
}
