#include "app/cli/cliconsole.h"

#include <cstdlib>
#include <unistd.h>

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

const char* EnvironmentValue(const char* name)
{
    return secure_getenv(name);
}

void WriteText(std::FILE* stream, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stream);
}
