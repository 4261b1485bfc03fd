#pragma once

#include "tests/support/simline.h"
#include "worker/devicelister.h"

#include <optional>
#include <vector>

// Discovery sees the simulated line as the one server present while it is plugged in, under its
// current device name, and no server while it is not.
class TSimLister final : public TDeviceLister
{
public:
    explicit TSimLister(TSimLine& line) : Line(line) {}
    std::optional<std::vector<TUsbDevice>> List() override
    {
        if (!Line.Plugged())
            return std::vector<TUsbDevice>{};
        const std::string name = Line.DeviceName();
        return std::vector<TUsbDevice>{{"USB\\VID_04D8&PID_FE88&REV_0100",
                                        "Simulated server (" + name.substr(5) + ")", "1-1", name}};
    }

private:
    TSimLine& Line;
};
