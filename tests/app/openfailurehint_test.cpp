#include "app/core/openfailurehint.h"
#include "serial/comerror.h"

#include <gtest/gtest.h>

// The hosts explain a refused or busy port in one line, decided by the kind alone.
TEST(OpenFailureHint, ExplainsARefusedOrBusyPortOnly)
{
    const std::string denied =
        OpenFailureHint("/dev/ttyACM0", EComError("Permission denied", 13, ekAccessDenied));
    EXPECT_EQ(denied.rfind("srvdiag: cannot open /dev/ttyACM0: Permission denied; ", 0), 0U)
        << denied;
    EXPECT_NE(denied.find("udev rule"), std::string::npos) << denied;
    const std::string busy = OpenFailureHint("COM5", EComError("Access is denied.", 5, ekBusy));
    EXPECT_NE(busy.find("another program holds the port"), std::string::npos);
    for (const std::string& hint : {denied, busy})
        EXPECT_EQ(hint.find('\n'), hint.size() - 1) << hint;
    EXPECT_EQ(OpenFailureHint("x", EComError("No such file", 2, ekNotFound)), "");
    EXPECT_EQ(OpenFailureHint("x", EComError("Timeout", 0, ekTimeout)), "");
}
