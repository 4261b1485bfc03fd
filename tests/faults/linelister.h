#pragma once

#include "tests/faults/faultline.h"
#include "worker/devicelister.h"

#include <optional>
#include <vector>

// Discovery sees the fault line as the one server present, under its current device name (a
// hang-up plugs in a new one).
class TLineLister final : public TDeviceLister
{
public:
    explicit TLineLister(TFaultLine& line) : Line(line) {}
    std::optional<std::vector<TUsbDevice>> List() override
    {
        return std::vector<TUsbDevice>{{"USB\\VID_04D8&PID_FE88&REV_0100",
                                        "Fault line (" + Line.DeviceName().substr(5) + ")"}};
    }

private:
    TFaultLine& Line;
};
