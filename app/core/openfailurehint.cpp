#include "app/core/openfailurehint.h"

#include "app/core/portremedy.h"
#include "serial/comerror.h"

std::string OpenFailureHint(const std::string& deviceName, const EComError& error)
{
    const std::string start = "srvdiag: cannot open " + deviceName + ": " + error.what();
    switch (error.Kind()) {
    case ekAccessDenied:
        // The group that owns the node, and whether the package's rule is there to serve the
        // user at the seat.
        return start + "; " + RefusedPortRemedyOn(deviceName, 0) + "\n";
    case ekBusy:
        return start + "; another program holds the port, close it and try again\n";
    default:
        return "";
    }
}
