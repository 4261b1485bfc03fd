#pragma once

#include <filesystem>
#include <string>

// Where the settings file and the trace file live.
struct TFilePaths
{
    std::filesystem::path IniPath;   // the settings file
    std::filesystem::path TracePath; // the trace file, written by the worker after a failed pass
};

// path with its last three characters replaced by ending (all of it when it is shorter).
std::filesystem::path WithLastThreeReplaced(const std::filesystem::path& path, const char* ending);

// The settings file beside a program: its path with a three-letter extension replaced by "INI"
// (tool.exe gives tool.INI), or ".INI" appended when its file name has no such extension
// (srvdiag gives srvdiag.INI).
std::filesystem::path IniPathFor(const std::filesystem::path& programPath);

// The trace file for a settings file: its last three characters replaced by "ERR".
std::filesystem::path TracePathFor(const std::filesystem::path& iniPath);

// Both files beside the program when its folder is writable (an unpacked copy); otherwise (an
// installed copy) the same file names in the user's configuration folder (settings) and data
// folder (trace). A user folder that is empty or relative (the system does not know it) gives an
// empty path for its file: the file is then neither read nor written.
TFilePaths ResolveFilePaths(const std::filesystem::path& programPath, bool programFolderWritable,
                            const std::filesystem::path& configFolder,
                            const std::filesystem::path& dataFolder);

// ResolveFilePaths for a program at programPath, with the user's folders for appName; an
// installed copy (IsInstalledCopy) counts as one whose folder is not writable.
TFilePaths ProgramFilePaths(const std::filesystem::path& programPath, const std::string& appName);

// tracePath, after making its folder if it does not exist yet (the data folder of an installed
// copy); a folder that cannot be made is left to the write that follows to fail.
std::filesystem::path TraceFolderMade(const std::filesystem::path& tracePath);
