// Fuzz target: the discovery rules over device lists whose hardware identifiers and friendly
// names are any bytes of any length. Each rule is checked against a plain restatement of it, and
// the device path chosen never leaves the device folder.

#include "worker/serverid.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

bool ReferenceMatch(const std::string& id)
{
    static const std::string match = "USB\\VID_04D8&PID_FE88";
    if (id.size() < match.size())
        return false;
    for (std::size_t i = 0; i < match.size(); ++i) {
        const char c = id[i] >= 'a' && id[i] <= 'z' ? static_cast<char>(id[i] - 32) : id[i];
        if (c != match[i])
            return false;
    }
    return true;
}

std::optional<std::string> ReferencePort(const std::string& name)
{
    const std::size_t open = name.rfind('(');
    if (open == std::string::npos)
        return std::nullopt;
    const std::size_t close = name.find(')', open);
    if (close == std::string::npos)
        return std::nullopt;
    return name.substr(open + 1, close - open - 1);
}

bool HasParentStep(const std::string& path)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('/', start);
        if (path.substr(start, end == std::string::npos ? std::string::npos : end - start) == "..")
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    std::vector<TUsbDevice> devices(input.ConsumeIntegralInRange<std::size_t>(0, 4));
    for (TUsbDevice& device : devices) {
        // Identifiers usually start right, so that the friendly names behind them get examined.
        device.HardwareId = (input.ConsumeBool() ? "USB\\VID_04D8&PID_FE88" : "") +
                            input.ConsumeRandomLengthString(300);
        device.FriendlyName = input.ConsumeRandomLengthString(300);
    }

    std::optional<std::string> expected;
    for (const TUsbDevice& device : devices) {
        if (IsServerHardwareId(device.HardwareId) != ReferenceMatch(device.HardwareId))
            Fail("hardware identifier rule");
        if (PortNameFromFriendlyName(device.FriendlyName) != ReferencePort(device.FriendlyName))
            Fail("friendly name rule");
    }
    for (const TUsbDevice& device : devices) {
        if (!ReferenceMatch(device.HardwareId))
            continue;
        const auto port = ReferencePort(device.FriendlyName);
        if (port)
            expected = "/dev/" + *port;
        break;
    }
    const std::optional<std::string> chosen = ServerDeviceName(devices);
    if (chosen) {
        if (chosen != expected)
            Fail("the device chosen is not the first match's port");
        if (chosen->compare(0, 5, "/dev/") != 0 || HasParentStep(*chosen))
            Fail("the device path leaves the device folder");
    } else if (expected && !HasParentStep(*expected)) {
        Fail("a port named by the first match was not chosen");
    }
    return 0;
}
