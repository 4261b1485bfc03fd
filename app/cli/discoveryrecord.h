#pragma once

#include "worker/devicelister.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What discovery saw in its last listing, kept so that "server not found" can say what was
// looked for and what was found instead.
class TDiscoveryRecord
{
public:
    // Any thread: the lister's result (no value when the listing failed).
    void Keep(const std::optional<std::vector<TUsbDevice>>& devices);
    bool Listed() const;
    std::optional<std::vector<TUsbDevice>> Devices() const;

private:
    mutable std::mutex Lock;
    bool Done = false;
    std::optional<std::vector<TUsbDevice>> Last;
};

// A lister that hands on inner's listings and keeps each one in record, which must outlive it.
std::unique_ptr<TDeviceLister> MakeRecordingLister(std::unique_ptr<TDeviceLister> inner,
                                                   TDiscoveryRecord& record);

// Why discovery found no server in the listing devices, in language langIndex: the listing
// failed; the first device with the server's USB id names no port; or no device has that id,
// with the devices found instead ("1234:5678 Some product", at most eight of them).
std::string DiscoveryFailureText(const std::optional<std::vector<TUsbDevice>>& devices,
                                 std::uint8_t langIndex);
