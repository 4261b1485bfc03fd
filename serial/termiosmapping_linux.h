#pragma once

#include "serial/serialplatform.h"

#include <asm/termios.h> // termios2 and the TIOCM_* lines; see serialplatform_linux.cpp
#include <cstdint>

// Between the port's line settings and the kernel's termios2 record (standard bit rates through
// their Bxxx code, other rates through BOTHER). Pure functions: no device needed.

// Raw byte transfer: no line editing, echo, signals or output processing; receiver on, modem
// lines ignored for open and read.
void MakeRawTermios(termios2& t);

// Writes the settings into t. Returns EINVAL, leaving t in an unspecified state, for what a
// Linux tty cannot do: bit rate 0, 4 data bits, 1.5 stop bits, an unknown parity, DTR
// handshaking and RTS toggling.
std::int32_t LineSettingsToTermios(const TLineSettings& settings, termios2& t);

// The settings a termios2 record and the modem lines (TIOCM_* bits) amount to. The characters
// and limits a tty does not have keep the values of `extras`.
TLineSettings LineSettingsFromTermios(const termios2& t, int modemLines,
                                      const TLineSettings& extras = {});

// DTR and RTS levels (TIOCM_DTR, TIOCM_RTS bits) the settings ask for; a line under hardware
// handshake keeps its level from currentLines.
int ModemLinesFor(const TLineSettings& settings, int currentLines);
