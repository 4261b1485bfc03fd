#include "serial/comport.h"
#include "worker/devicelister.h"
#include "worker/serthread.h"
#include "worker/serverid.h"

void TSerThread::FindServer(TDeviceLister& lister)
{
    if (Terminated() || BackRequested() || ResultCode() != srSuccess)
        return;
    LinkOk = true;
    const auto devices = lister.List();
    SetResultCode(srNotFound);
    if (!devices)
        return;
    const auto deviceName = ServerDeviceName(*devices, &lister);
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
    SetResultCode(srSuccess);
}
