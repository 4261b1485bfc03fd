#include "app/core/openfailurehint.h"

#include "serial/comerror.h"

std::string OpenFailureHint(const std::string& deviceName, const EComError& error)
{
    const std::string start = "srvdiag: cannot open " + deviceName + ": " + error.what();
    switch (error.Kind()) {
    case ekAccessDenied:
        return start + "; grant access with a udev rule for the server, or add your user to the "
                       "dialout group and log in again\n";
    case ekBusy:
        return start + "; another program holds the port, close it and try again\n";
    default:
        return "";
    }
}
