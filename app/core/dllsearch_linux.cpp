#include "app/core/dllsearch.h"

bool RestrictDllSearch()
{
    return true;
}
