#pragma once

// Whether the program's standard error is a terminal, where a progress display belongs
// (cliconsole_linux.cpp, cliconsole_win32.cpp).
bool StandardErrorIsTerminal();
