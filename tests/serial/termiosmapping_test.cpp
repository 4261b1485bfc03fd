// Line settings to termios2 and back, and the trimming of system texts: no device needed.
#include "serial/systemmessage.h"
#include "serial/termiosmapping_linux.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

TLineSettings Settings(std::uint32_t baud, std::uint8_t size, std::uint8_t parity,
                       std::uint8_t stop)
{
    TLineSettings s;
    s.BaudRate = baud;
    s.ByteSize = size;
    s.Parity = parity;
    s.StopBits = stop;
    s.Flags = DcbFlag::Binary | (1U << DcbFlag::DtrControlShift) | (1U << DcbFlag::RtsControlShift);
    return s;
}

TEST(TermiosMapping, EveryFrameFormatRoundTrips)
{
    for (std::uint32_t baud : {50U, 9600U, 31250U, 256000U, 3000000U})
        for (std::uint8_t size = 5; size <= 8; ++size)
            for (std::uint8_t parity = 0; parity <= 4; ++parity)
                for (std::uint8_t stop : {0, 2}) {
                    const TLineSettings s = Settings(baud, size, parity, stop);
                    termios2 t{};
                    ASSERT_EQ(LineSettingsToTermios(s, t), 0);
                    // A rate with a standard code goes through it; BOTHER only for others.
                    const tcflag_t code = baud == 9600      ? B9600
                                          : baud == 50      ? B50
                                          : baud == 3000000 ? B3000000
                                                            : BOTHER;
                    EXPECT_EQ(t.c_cflag & CBAUD, code) << baud;
                    EXPECT_EQ((t.c_cflag >> IBSHIFT) & CBAUD, code) << baud;
                    EXPECT_EQ(t.c_ispeed, baud);
                    const TLineSettings back = LineSettingsFromTermios(t, TIOCM_DTR | TIOCM_RTS, s);
                    EXPECT_EQ(back, s) << baud << " " << int(size) << int(parity) << int(stop);
                }
}

TEST(TermiosMapping, ParityBitsAreTheKernelsOnes)
{
    termios2 t{};
    ASSERT_EQ(LineSettingsToTermios(Settings(9600, 8, 3, 0), t), 0); // mark
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | PARODD | CMSPAR));
    ASSERT_EQ(LineSettingsToTermios(Settings(9600, 8, 4, 0), t), 0); // space
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), tcflag_t(PARENB | CMSPAR));
    ASSERT_EQ(LineSettingsToTermios(Settings(9600, 8, 0, 2), t), 0);
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), tcflag_t(CSTOPB));
}

TEST(TermiosMapping, WhatATtyCannotDoIsRefused)
{
    termios2 t{};
    EXPECT_EQ(LineSettingsToTermios(Settings(0, 8, 0, 0), t), EINVAL);
    EXPECT_EQ(LineSettingsToTermios(Settings(9600, 4, 0, 0), t), EINVAL);
    EXPECT_EQ(LineSettingsToTermios(Settings(9600, 8, 0, 1), t), EINVAL);
    EXPECT_EQ(LineSettingsToTermios(Settings(9600, 8, 5, 0), t), EINVAL);
    TLineSettings dtrHandshake = Settings(9600, 8, 0, 0);
    dtrHandshake.Flags = 2U << DcbFlag::DtrControlShift;
    EXPECT_EQ(LineSettingsToTermios(dtrHandshake, t), EINVAL);
    TLineSettings rtsToggle = Settings(9600, 8, 0, 0);
    rtsToggle.Flags = 3U << DcbFlag::RtsControlShift;
    EXPECT_EQ(LineSettingsToTermios(rtsToggle, t), EINVAL);
}

TEST(TermiosMapping, FlowControlFlagsAndCharacters)
{
    TLineSettings s = Settings(9600, 8, 0, 0);
    s.Flags |= DcbFlag::OutX | DcbFlag::InX | DcbFlag::OutxCtsFlow | DcbFlag::Parity;
    s.XonChar = 0x21;
    s.XoffChar = 0x23;
    termios2 t{};
    ASSERT_EQ(LineSettingsToTermios(s, t), 0);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(IXON | IXOFF | INPCK));
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_cc[VSTART], 0x21);
    EXPECT_EQ(t.c_cc[VSTOP], 0x23);

    s = Settings(9600, 8, 0, 0); // RTS handshake alone also means hardware flow control
    s.Flags = (s.Flags & ~DcbFlag::RtsControlMask) | (2U << DcbFlag::RtsControlShift);
    ASSERT_EQ(LineSettingsToTermios(s, t), 0);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | INPCK), 0U);
}

TEST(TermiosMapping, ModemLinesFollowDtrAndRtsControl)
{
    TLineSettings s = Settings(9600, 8, 0, 0);
    s.Flags = 0; // DTR and RTS disabled
    EXPECT_EQ(ModemLinesFor(s, TIOCM_DTR | TIOCM_RTS), 0);
    s.Flags = 1U << DcbFlag::DtrControlShift;
    EXPECT_EQ(ModemLinesFor(s, 0), TIOCM_DTR);
    s.Flags = 2U << DcbFlag::RtsControlShift; // handshake: the level stays with the driver
    EXPECT_EQ(ModemLinesFor(s, TIOCM_RTS), TIOCM_RTS);
}

TEST(TermiosMapping, RawModeTurnsOffLineProcessing)
{
    termios2 t{};
    t.c_iflag = ICRNL | IXANY;
    t.c_oflag = OPOST;
    t.c_lflag = ICANON | ECHO | ISIG;
    MakeRawTermios(t);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXANY), 0U);
    EXPECT_EQ(t.c_oflag & OPOST, 0U);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0U);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
}

TEST(SystemMessage, TrailingBlanksControlsAndFullStopsAreCut)
{
    EXPECT_EQ(TrimSystemMessage("Access is denied.\r\n"), "Access is denied");
    EXPECT_EQ(TrimSystemMessage("Input/output error"), "Input/output error");
    EXPECT_EQ(TrimSystemMessage("v1.2 ok . \t"), "v1.2 ok");
    EXPECT_EQ(TrimSystemMessage(" ..\n"), "");
}

} // namespace
