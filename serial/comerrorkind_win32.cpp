// The kinds of the GetLastError codes the Win32 platform reports.
#include "serial/comerror.h"

#include <algorithm>
#include <windows.h>

namespace {

// CreateFile on a port another program holds gives ERROR_ACCESS_DENIED, as Windows opens COM
// ports exclusively: it is reported as busy, the cause a user can fix. A port whose device was
// unplugged answers ERROR_NOT_READY (WriteFile, ClearCommError), ERROR_BROKEN_PIPE (ReadFile),
// ERROR_BAD_COMMAND,
// ERROR_GEN_FAILURE or ERROR_DEVICE_NOT_CONNECTED. ERROR_OPERATION_ABORTED is a cancelled wait or
// transfer, not a failure of the device, and stays ekOther. A read that ends in ERROR_TIMEOUT is
// a timeout.
constexpr TComErrorKindRow kWin32Kinds[] = {
    {ERROR_ACCESS_DENIED, ekBusy},
    {ERROR_SHARING_VIOLATION, ekBusy},
    {ERROR_FILE_NOT_FOUND, ekNotFound},
    {ERROR_PATH_NOT_FOUND, ekNotFound},
    {ERROR_BAD_COMMAND, ekDeviceGone},
    {ERROR_NOT_READY, ekDeviceGone},
    {ERROR_BROKEN_PIPE, ekDeviceGone},
    {ERROR_GEN_FAILURE, ekDeviceGone},
    {ERROR_DEVICE_NOT_CONNECTED, ekDeviceGone},
    {ERROR_SEM_TIMEOUT, ekTimeout},
    {ERROR_TIMEOUT, ekTimeout},
};

} // namespace

TComErrorKind SystemComErrorKind(std::int32_t code)
{
    const auto row = std::find_if(std::begin(kWin32Kinds), std::end(kWin32Kinds),
                                  [code](const auto& r) { return r.Code == code; });
    return row == std::end(kWin32Kinds) ? ekOther : row->Kind;
}
