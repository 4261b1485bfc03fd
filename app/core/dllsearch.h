#pragma once

// Makes the system look for a DLL the program loads by name (the save dialog's,
// SetupAPI's helpers) in System32 alone, never in the program's folder or the current one, so
// that a DLL planted beside a copy run from a downloads folder is never run. Called first thing
// in both programs (dllsearch_win32.cpp). False when the system lacks the call (Windows 7
// without its update): the current folder is still taken out of the search. On Linux there is
// nothing to do (dllsearch_linux.cpp): the loader never searches the current folder by itself.
bool RestrictDllSearch();
