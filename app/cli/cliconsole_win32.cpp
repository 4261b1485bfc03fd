#include "app/cli/cliconsole.h"

#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <windows.h>

namespace {

std::size_t Columns(DWORD which)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(which), &info))
        return 0;
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

} // namespace

bool StandardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

std::size_t StandardOutputColumns()
{
    return Columns(STD_OUTPUT_HANDLE);
}

std::size_t StandardErrorColumns()
{
    return Columns(STD_ERROR_HANDLE);
}

const char* EnvironmentValue(const char* name)
{
    return std::getenv(name);
}
