#include "app/core/dllsearch.h"

#include <windows.h>

bool RestrictDllSearch()
{
    // Taken by name: a program that imported it could not start where it is missing.
    using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault =
        kernel32 == nullptr ? nullptr
                            : reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void*>(
                                  GetProcAddress(kernel32, "SetDefaultDllDirectories")));
    // An empty folder takes the current folder out of the search order that applies when the
    // default directories cannot be set.
    SetDllDirectoryW(L"");
    return setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}
