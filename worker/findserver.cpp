#include "serial/comport.h"
#include "worker/devicelister.h"
#include "worker/serthread.h"
#include "worker/serverid.h"

void TSerThread::FindServer(TDeviceLister& lister)
{
    if (Terminated() || BackRequested() || ResultCode() != 0)
        return;
    LinkOk = true;
    const auto devices = lister.List();
    SetResultCode(2);
    if (!devices)
        return;
    const auto portName = ServerPortName(*devices);
    const auto deviceName = portName ? lister.DevicePath(*portName) : std::nullopt;
    if (!deviceName)
        return;
    TComPort& port = SerIF();
    try {
        // The port is closed here in the normal course (page 4 closed it); an open port refuses
        // a new name, and bring-up then closes and reopens it under its old one.
        if (port.DeviceName() != *deviceName)
            port.SetDeviceName(*deviceName);
    } catch (const std::exception&) {
        return;
    }
    SetResultCode(0);
}
