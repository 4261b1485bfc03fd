#pragma once

#include <string>
#include <windows.h>

// The system's text for a Windows error code in UTF-8, trimmed as TrimSystemMessage does; empty
// when the system has none. Taken as UTF-16, so that a text in any language survives.
std::string WindowsErrorText(DWORD code);
