#include "serial/uniquefd.h"

#include <unistd.h>

void TUniqueFd::Reset(int fd)
{
    const int old = Fd.exchange(fd);
    if (old >= 0)
        ::close(old);
}
