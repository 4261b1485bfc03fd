#pragma once

#include <filesystem>
#include <string>

// Names as the window's controls hold them, in the system's single-byte code page, and the paths
// the files are opened by: every byte of such a name maps to one character, so the dump file gets
// exactly the name the user typed or the save dialog returned.
std::filesystem::path AnsiPath(const std::string& name);
