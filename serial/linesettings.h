#pragma once

#include "serial/characters.h"
#include "serial/comtypes.h"
#include "serial/flowcontrol.h"
#include "serial/serialplatform.h"

#include <cstdint>

// The bit rate a TBaudRate value names (0 for brDefault and brCustom).
std::uint32_t BitRateOf(TBaudRate rate);

// The port's settings as they are laid over the device's line settings.
struct TPortLineSettings
{
    TBaudRate BaudRate = brDefault;
    std::int32_t CustomBaudRate = 0;
    TDataBits DataBits = dbDefault;
    TParity Parity = paDefault;
    TStopBits StopBits = sbDefault;
    const TFlowControl* FlowControl = nullptr;
    const TCharacters* Characters = nullptr;
    TOptions Options;
};

// Lays the port's settings over the device's: every value ending in Default keeps the device's
// field, the characters, limits and option flags are always written.
TLineSettings OverlayLineSettings(TLineSettings device, const TPortLineSettings& port);
