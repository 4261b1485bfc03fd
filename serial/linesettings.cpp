#include "serial/linesettings.h"

#include <array>

std::uint32_t BitRateOf(TBaudRate rate)
{
    static constexpr std::array<std::uint32_t, 27> rates{
        0,     50,    75,    110,   150,   300,    600,    1200,   1800,
        2000,  2400,  3600,  4800,  7200,  9600,   10400,  14400,  15625,
        19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000, 0};
    return rate < rates.size() ? rates[rate] : 0;
}

namespace {
void SetField(std::uint32_t& flags, std::uint32_t mask, std::uint32_t value)
{
    flags = (flags & ~mask) | (value & mask);
}
} // namespace

TLineSettings OverlayLineSettings(TLineSettings dcb, const TPortLineSettings& port)
{
    if (port.BaudRate == brCustom)
        dcb.BaudRate = static_cast<std::uint32_t>(port.CustomBaudRate);
    else if (port.BaudRate != brDefault)
        dcb.BaudRate = BitRateOf(port.BaudRate);
    if (port.DataBits != dbDefault)
        dcb.ByteSize = static_cast<std::uint8_t>(port.DataBits + 3);
    if (port.Parity != paDefault)
        dcb.Parity = static_cast<std::uint8_t>(port.Parity - 1);
    if (port.StopBits != sbDefault)
        dcb.StopBits = static_cast<std::uint8_t>(port.StopBits - 1);

    const TCharacters defaultCharacters;
    const TCharacters& chars = port.Characters ? *port.Characters : defaultCharacters;
    dcb.XonChar = chars.XOn();
    dcb.XoffChar = chars.XOff();
    dcb.ErrorChar = chars.Error();
    dcb.EofChar = chars.Eof();
    dcb.EvtChar = chars.Event();

    const TFlowControl defaultFlow;
    const TFlowControl& flow = port.FlowControl ? *port.FlowControl : defaultFlow;
    if (flow.DTR() != dcDefault)
        SetField(dcb.Flags, DcbFlag::DtrControlMask,
                 static_cast<std::uint32_t>(flow.DTR() - 1) << DcbFlag::DtrControlShift);
    if (flow.RTS() != rcDefault)
        SetField(dcb.Flags, DcbFlag::RtsControlMask,
                 static_cast<std::uint32_t>(flow.RTS() - 1) << DcbFlag::RtsControlShift);
    if (flow.XOnXOff() != xcDefault) {
        static constexpr std::array<std::uint32_t, 5> xonxoff{0, 0, DcbFlag::InX, DcbFlag::OutX,
                                                              DcbFlag::InX | DcbFlag::OutX};
        SetField(dcb.Flags, DcbFlag::InX | DcbFlag::OutX, xonxoff[flow.XOnXOff()]);
    }
    dcb.XonLim = flow.XOnLimit();
    dcb.XoffLim = flow.XOffLimit();

    static constexpr std::array<std::uint32_t, 8> optionFlags{
        DcbFlag::Parity,         DcbFlag::OutxCtsFlow,      DcbFlag::OutxDsrFlow,
        DcbFlag::DsrSensitivity, DcbFlag::TXContinueOnXoff, DcbFlag::ErrorChar,
        DcbFlag::Null,           DcbFlag::AbortOnError};
    for (std::size_t i = 0; i < optionFlags.size(); ++i)
        SetField(dcb.Flags, optionFlags[i],
                 port.Options.Contains(static_cast<TOption>(i)) ? optionFlags[i] : 0);
    return dcb;
}
