// The overlay of the port's settings on the device's line settings.
#include "serial/linesettings.h"

#include <gtest/gtest.h>

namespace {

TEST(LineSettingsOverlay, EnumerationsMapToTheirDeviceValues)
{
    EXPECT_EQ(BitRateOf(br50), 50U);
    EXPECT_EQ(BitRateOf(br15625), 15625U);
    EXPECT_EQ(BitRateOf(br256000), 256000U);
    EXPECT_EQ(BitRateOf(brDefault), 0U);

    TLineSettings device;
    TPortLineSettings port;
    const std::pair<TDataBits, int> sizes[] = {{db4, 4}, {db5, 5}, {db6, 6}, {db7, 7}, {db8, 8}};
    for (const auto& [bits, size] : sizes) {
        port.DataBits = bits;
        EXPECT_EQ(OverlayLineSettings(device, port).ByteSize, size);
    }
    for (TParity p : {paNone, paOdd, paEven, paMark, paSpace}) {
        port.Parity = p;
        EXPECT_EQ(OverlayLineSettings(device, port).Parity, p - 1);
    }
    for (TStopBits s : {sb1, sb1_5, sb2}) {
        port.StopBits = s;
        EXPECT_EQ(OverlayLineSettings(device, port).StopBits, s - 1);
    }
    port.BaudRate = brCustom;
    port.CustomBaudRate = 0;
    EXPECT_EQ(OverlayLineSettings(device, port).BaudRate, 0U); // the device will refuse it
}

TEST(LineSettingsOverlay, FlowControlFieldsReplaceOnlyTheirBits)
{
    TLineSettings device;
    device.Flags = 0xFFFF;
    TFlowControl flow;
    TPortLineSettings port;
    port.FlowControl = &flow;
    const std::pair<TXOnXOffControl, std::uint32_t> xonxoff[] = {
        {xcDisable, 0}, {xcInput, 0x200}, {xcOutput, 0x100}, {xcInputOutput, 0x300}};
    for (const auto& [value, bits] : xonxoff) {
        flow.SetXOnXOff(value);
        EXPECT_EQ(OverlayLineSettings(device, port).Flags & 0x300U, bits);
    }
    flow.SetDTR(dcHandshake);
    flow.SetRTS(rcToggle);
    const TLineSettings s = OverlayLineSettings(device, port);
    EXPECT_EQ(s.Flags & 0x30U, 0x20U);
    EXPECT_EQ(s.Flags & 0x3000U, 0x3000U);
    EXPECT_EQ(s.Flags & 0x1U, 0x1U); // fBinary is not the port's
}

TEST(LineSettingsOverlay, EachOptionSetsExactlyItsFlag)
{
    const std::pair<TOption, std::uint32_t> options[] = {
        {opCheckParity, 0x2},        {opOutputCTSFlow, 0x4},     {opOutputDSRFlow, 0x8},
        {opDSRSensitivity, 0x40},    {opTXContinueOnXOff, 0x80}, {opUseErrorChar, 0x400},
        {opDiscardNullBytes, 0x800}, {opAbortOnError, 0x4000}};
    for (const auto& [option, bit] : options) {
        TPortLineSettings port;
        port.Options.Include(option);
        EXPECT_EQ(OverlayLineSettings(TLineSettings{}, port).Flags, bit) << int(option);
    }
}

} // namespace
