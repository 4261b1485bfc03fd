#pragma once

#include "worker/devicelister.h"

#include <optional>
#include <vector>

// Hands discovery a fixed list of devices.
class TListLister final : public TDeviceLister
{
public:
    explicit TListLister(std::vector<TUsbDevice> devices) : Devices(std::move(devices)) {}
    std::optional<std::vector<TUsbDevice>> List() override { return Devices; }

private:
    std::vector<TUsbDevice> Devices;
};
