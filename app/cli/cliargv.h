#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The command line as the system hands it over (cliargv_linux.cpp, cliargv_win32.cpp). On
// Linux the arguments are bytes and pass unchanged; on Windows they are read as UTF-16 from the
// system and handed to the parser in UTF-8, so a file name in any script survives.

// The program's arguments, the program itself first.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The file a parsed argument names.
std::filesystem::path ArgumentPath(const std::string& argument);

// A path in the program's messages.
std::string MessagePath(const std::filesystem::path& path);
