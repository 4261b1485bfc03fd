#include "fuzz/fuzzplatform.h"

#include <algorithm>
#include <cstring>

std::int32_t TFuzzPlatform::Gone() const
{
    if (!Opened)
        return NotOpen;
    return Server.Unplugged ? DeviceLost : 0;
}

std::int32_t TFuzzPlatform::Open(const std::string& deviceName)
{
    if (Opened)
        return 16; // EBUSY
    if (deviceName != "/dev/fuzz0")
        return 2; // ENOENT
    Opened = true;
    Input.clear();
    ReadIsPending = false;
    return 0;
}

void TFuzzPlatform::Close()
{
    Opened = false;
    ReadIsPending = false;
}

std::int32_t TFuzzPlatform::GetLineSettings(TLineSettings& settings)
{
    settings = Settings;
    return Gone();
}

std::int32_t TFuzzPlatform::SetLineSettings(const TLineSettings& settings)
{
    Settings = settings;
    return Gone();
}

std::int32_t TFuzzPlatform::GetTimeouts(TCommTimeouts& timeouts)
{
    timeouts = Timeouts;
    return Gone();
}

std::int32_t TFuzzPlatform::SetTimeouts(const TCommTimeouts& timeouts)
{
    Timeouts = timeouts;
    return Gone();
}

std::int32_t TFuzzPlatform::Purge(std::uint32_t purgeFlags)
{
    if ((purgeFlags & (PurgeFlag::RxClear | PurgeFlag::RxAbort)) != 0)
        Input.clear();
    return Gone();
}

std::int32_t TFuzzPlatform::StartRead(void* buffer, std::int32_t length)
{
    if (const std::int32_t code = Gone())
        return code;
    const auto n = std::min<std::size_t>(Input.size(), static_cast<std::size_t>(length));
    std::memcpy(buffer, Input.data(), n);
    Input.erase(0, n);
    ReadDone = static_cast<std::int32_t>(n);
    ReadIsPending = true;
    return 0;
}

std::int32_t TFuzzPlatform::FinishRead(std::int32_t& transferred)
{
    // Nothing more can come while the tool waits: the server answers only when written to.
    ReadIsPending = false;
    transferred = ReadDone;
    return Gone();
}

std::int32_t TFuzzPlatform::StartWrite(const void* buffer, std::int32_t length)
{
    if (const std::int32_t code = Gone())
        return code;
    const std::string bytes(static_cast<const char*>(buffer), static_cast<std::size_t>(length));
    Input += Server.Take(bytes);
    if (Server.WriteFails)
        return 22; // EINVAL: this write alone is refused
    return Gone();
}

std::int32_t TFuzzPlatform::FinishWrite(std::int32_t& transferred)
{
    transferred = 0;
    return Gone();
}

std::int32_t TFuzzPlatform::ClearCommError(std::uint32_t* errors, std::int32_t* inputCount)
{
    if (errors != nullptr)
        *errors = 0;
    if (inputCount != nullptr)
        *inputCount = static_cast<std::int32_t>(Input.size());
    return Gone();
}

std::int32_t TFuzzPlatform::GetModemStatus(std::uint32_t& status)
{
    status = 0;
    return Gone();
}

std::int32_t TFuzzPlatform::WaitCommEvent(std::uint32_t& events)
{
    events = 0;
    return Gone();
}

std::string TFuzzPlatform::SystemMessage(std::int32_t code) const
{
    return "system error " + std::to_string(code);
}
