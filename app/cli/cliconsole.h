#pragma once

#include <cstdio>
#include <string_view>

// What the command line asks of the system it runs in (cliconsole_linux.cpp,
// cliconsole_win32.cpp).

// Whether the program's standard error is a terminal, where a progress display belongs.
bool StandardErrorIsTerminal();

// The value of an environment variable, or null when it is not set. Called before any other
// thread runs.
const char* EnvironmentValue(const char* name);

// Writes text, UTF-8, to stream. On Linux its bytes as they are. On Windows, where the stream is
// a console, as UTF-16 through the console's own call, since a console shows bytes in its OEM
// code page; to a pipe or a file, the UTF-8 bytes unchanged.
void WriteText(std::FILE* stream, std::string_view text);
