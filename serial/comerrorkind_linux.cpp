// The kinds of the errno values the Linux platform reports.
#include "serial/comerrorkind_linux.h"

#include "serial/comerror.h"

#include <algorithm>
#include <cerrno>

namespace {

// open() of a tty the user has no rights on gives EACCES (EPERM on some mounts); flock() and
// TIOCEXCL on a port another program holds give EWOULDBLOCK and EBUSY; a device unplugged in use
// gives EIO, ENODEV or ENXIO.
constexpr TComErrorKindRow kLinuxKinds[] = {
    {EACCES, ekAccessDenied}, {EPERM, ekAccessDenied}, {EROFS, ekAccessDenied}, {EBUSY, ekBusy},
    {EWOULDBLOCK, ekBusy},    {ENOENT, ekNotFound},    {ENOTDIR, ekNotFound},   {EIO, ekDeviceGone},
    {ENODEV, ekDeviceGone},   {ENXIO, ekDeviceGone},   {ETIMEDOUT, ekTimeout},
};

} // namespace

std::span<const TComErrorKindRow> LinuxComErrorKinds()
{
    return kLinuxKinds;
}

TComErrorKind SystemComErrorKind(std::int32_t code)
{
    const auto rows = LinuxComErrorKinds();
    const auto row =
        std::find_if(rows.begin(), rows.end(), [code](const auto& r) { return r.Code == code; });
    return row == rows.end() ? ekOther : row->Kind;
}
