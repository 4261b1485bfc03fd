#include "app/cli/cliconsole.h"

#include <cstdlib>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

std::size_t Columns(int descriptor)
{
    winsize size{};
    if (ioctl(descriptor, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_col;
}

} // namespace

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

std::size_t StandardOutputColumns()
{
    return Columns(STDOUT_FILENO);
}

std::size_t StandardErrorColumns()
{
    return Columns(STDERR_FILENO);
}

const char* EnvironmentValue(const char* name)
{
    return secure_getenv(name);
}

void WriteText(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}
