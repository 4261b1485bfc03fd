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
