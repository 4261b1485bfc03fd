#include "app/cli/cliconsole.h"

#include <cstdio>
#include <cstdlib>
#include <io.h>

bool StandardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

const char* EnvironmentValue(const char* name)
{
    return std::getenv(name);
}
