#pragma once

// What the command line asks of the system it runs in (cliconsole_linux.cpp,
// cliconsole_win32.cpp).

// Whether the program's standard error is a terminal, where a progress display belongs.
bool StandardErrorIsTerminal();

// The value of an environment variable, or null when it is not set. Called before any other
// thread runs.
const char* EnvironmentValue(const char* name);
