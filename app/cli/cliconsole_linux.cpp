#include "app/cli/cliconsole.h"

#include <unistd.h>

bool StandardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}
