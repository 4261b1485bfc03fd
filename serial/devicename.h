#pragma once

#include <filesystem>

// True when a file name leads to a device rather than to a file on a disk, whatever its
// folder. The reserved names CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$ and CONOUT$ in any letter
// case, with any extension or stream ("COM1:", "nul.txt", "CON:x") and with trailing blanks and
// full stops, as Windows reads them; names in the device namespace ("\\.\...", and "\\?\" or
// "\??\" paths that are not a drive or a share); and the pipe and mailslot folders of a share
// ("\\host\pipe\..."). Opening any of those could reach a serial port, a printer or another
// program, so a file is never opened by such a name. Pure: looks at the name alone
// (devicename_win32.cpp). On Linux no name is a device by itself: a device is a file, known by
// what it is once looked at (devicename_linux.cpp gives false).
bool NamesADevice(const std::filesystem::path& name);
