#pragma once

#include <filesystem>
#include <string>

// The system's answers about the program's own location and the user's folders
// (userfolders_linux.cpp, userfolders_win32.cpp).

// The running program's own full path; empty when the system does not tell.
std::filesystem::path RunningProgramPath();

// True when the program may create files in folder.
bool FolderWritable(const std::filesystem::path& folder);

// The user's folder for the settings of appName, and for its data (the trace file). Not created.
// Always absolute; empty when the system does not know the user's folders (no home folder, no
// roaming application-data folder).
std::filesystem::path UserConfigFolder(const std::string& appName);
std::filesystem::path UserDataFolder(const std::string& appName);
