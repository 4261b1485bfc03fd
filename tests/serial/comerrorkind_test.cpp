// The kinds of the system's error codes, row by row, as the hosts and the worker rely on them.
#include "serial/comerrorkind_linux.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <set>

TEST(ComErrorKind, EachNativeCodeHasItsKindAndOthersAreOther)
{
    const struct
    {
        int Code;
        TComErrorKind Kind;
    } expected[] = {
        {EACCES, ekAccessDenied}, {EPERM, ekAccessDenied}, {EROFS, ekAccessDenied},
        {EBUSY, ekBusy},          {EWOULDBLOCK, ekBusy},   {ENOENT, ekNotFound},
        {ENOTDIR, ekNotFound},    {EIO, ekDeviceGone},     {ENODEV, ekDeviceGone},
        {ENXIO, ekDeviceGone},    {ETIMEDOUT, ekTimeout},
    };
    std::set<int> listed;
    for (const auto& row : expected) {
        EXPECT_EQ(SystemComErrorKind(row.Code), row.Kind) << "errno " << row.Code;
        listed.insert(row.Code);
    }
    for (const TComErrorKindRow& row : LinuxComErrorKinds())
        EXPECT_TRUE(listed.count(row.Code)) << "errno " << row.Code << " has no expected kind";
    EXPECT_EQ(SystemComErrorKind(0), ekOther);
    EXPECT_EQ(SystemComErrorKind(EINVAL), ekOther);
    EXPECT_EQ(SystemComErrorKind(EBADF), ekOther);
}
