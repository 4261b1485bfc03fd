#pragma once

#include <QString>

// Where the settings file and the trace file live.
struct TFilePaths
{
    QString IniPath;   // the settings file
    QString TracePath; // the trace file, written by the worker after a failed pass
};

// The settings file beside a program: its path with a three-letter extension replaced by "INI"
// (tool.exe gives tool.INI), or ".INI" appended when its file name has no such extension
// (srvdiag gives srvdiag.INI).
QString IniPathFor(const QString& programPath);

// The trace file for a settings file: its last three characters replaced by "ERR".
QString TracePathFor(const QString& iniPath);

// Both files beside the program when its folder is writable (an unpacked copy); otherwise (an
// installed copy) the same file names in the user's configuration folder (settings) and data
// folder (trace).
TFilePaths ResolveFilePaths(const QString& programPath, bool programFolderWritable,
                            const QString& configFolder, const QString& dataFolder);

// ResolveFilePaths for a program at programPath, with the folders of QStandardPaths; an
// installed copy (IsInstalledCopy) counts as one whose folder is not writable.
TFilePaths ProgramFilePaths(const QString& programPath);
