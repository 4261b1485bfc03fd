#include "serial/termiosmapping_linux.h"

#include <asm/ioctls.h>
#include <cerrno>

namespace {
std::uint32_t DtrField(const TLineSettings& s)
{
    return (s.Flags & DcbFlag::DtrControlMask) >> DcbFlag::DtrControlShift;
}
std::uint32_t RtsField(const TLineSettings& s)
{
    return (s.Flags & DcbFlag::RtsControlMask) >> DcbFlag::RtsControlShift;
}
// The rates a tty has a code for: set through it, stty and every other tool read them back as
// they are. Only other rates go through BOTHER.
struct TSpeedCode
{
    std::uint32_t Rate;
    tcflag_t Code;
};
constexpr TSpeedCode kSpeedCodes[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

tcflag_t SpeedCode(std::uint32_t rate)
{
    for (const TSpeedCode& code : kSpeedCodes)
        if (code.Rate == rate)
            return code.Code;
    return BOTHER;
}

void SetBits(tcflag_t& field, tcflag_t bits, bool on)
{
    if (on)
        field |= bits;
    else
        field &= ~bits;
}
} // namespace

void MakeRawTermios(termios2& t)
{
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IMAXBEL);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

std::int32_t LineSettingsToTermios(const TLineSettings& s, termios2& t)
{
    if (s.BaudRate == 0)
        return EINVAL;
    const tcflag_t code = SpeedCode(s.BaudRate);
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= code | (code << IBSHIFT);
    t.c_ospeed = s.BaudRate;
    t.c_ispeed = s.BaudRate;

    static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (s.ByteSize < 5 || s.ByteSize > 8)
        return EINVAL;
    t.c_cflag = (t.c_cflag & ~CSIZE) | sizes[s.ByteSize - 5];

    static constexpr tcflag_t parities[] = {0, PARENB | PARODD, PARENB, PARENB | PARODD | CMSPAR,
                                            PARENB | CMSPAR};
    if (s.Parity > 4)
        return EINVAL;
    t.c_cflag = (t.c_cflag & ~(PARENB | PARODD | CMSPAR)) | parities[s.Parity];

    if (s.StopBits == 1 || s.StopBits > 2)
        return EINVAL;
    SetBits(t.c_cflag, CSTOPB, s.StopBits == 2);

    if (DtrField(s) == 2 || RtsField(s) == 3)
        return EINVAL;
    SetBits(t.c_cflag, CRTSCTS, (s.Flags & DcbFlag::OutxCtsFlow) || RtsField(s) == 2);
    SetBits(t.c_iflag, INPCK, s.Flags & DcbFlag::Parity);
    SetBits(t.c_iflag, IXON, s.Flags & DcbFlag::OutX);
    SetBits(t.c_iflag, IXOFF, s.Flags & DcbFlag::InX);
    t.c_cc[VSTART] = s.XonChar;
    t.c_cc[VSTOP] = s.XoffChar;
    return 0;
}

TLineSettings LineSettingsFromTermios(const termios2& t, int modemLines,
                                      const TLineSettings& extras)
{
    TLineSettings s = extras;
    s.BaudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        s.ByteSize = 5;
        break;
    case CS6:
        s.ByteSize = 6;
        break;
    case CS7:
        s.ByteSize = 7;
        break;
    default:
        s.ByteSize = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        s.Parity = 0;
    else if (t.c_cflag & CMSPAR)
        s.Parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        s.Parity = (t.c_cflag & PARODD) ? 1 : 2;
    s.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;

    std::uint32_t flags =
        s.Flags & ~(DcbFlag::Parity | DcbFlag::OutxCtsFlow | DcbFlag::OutX | DcbFlag::InX |
                    DcbFlag::DtrControlMask | DcbFlag::RtsControlMask);
    flags |= DcbFlag::Binary;
    if (t.c_iflag & INPCK)
        flags |= DcbFlag::Parity;
    if (t.c_iflag & IXON)
        flags |= DcbFlag::OutX;
    if (t.c_iflag & IXOFF)
        flags |= DcbFlag::InX;
    if (modemLines & TIOCM_DTR)
        flags |= 1U << DcbFlag::DtrControlShift;
    if (t.c_cflag & CRTSCTS)
        flags |= DcbFlag::OutxCtsFlow | (2U << DcbFlag::RtsControlShift);
    else if (modemLines & TIOCM_RTS)
        flags |= 1U << DcbFlag::RtsControlShift;
    s.Flags = flags;
    s.XonChar = t.c_cc[VSTART];
    s.XoffChar = t.c_cc[VSTOP];
    return s;
}

int ModemLinesFor(const TLineSettings& s, int currentLines)
{
    int lines = currentLines & (TIOCM_DTR | TIOCM_RTS);
    if (DtrField(s) == 0)
        lines &= ~TIOCM_DTR;
    else if (DtrField(s) == 1)
        lines |= TIOCM_DTR;
    if (RtsField(s) == 0)
        lines &= ~TIOCM_RTS;
    else if (RtsField(s) == 1)
        lines |= TIOCM_RTS;
    return lines;
}
