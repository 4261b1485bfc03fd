// The files of the Windows build: where the settings and trace files go, and the output file's
// refusal of device names. The rules themselves have their tests in the Linux suite.
#include "app/core/filepaths.h"
#include "app/core/userfolders.h"
#include "worker/outputfile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

std::string Content(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(WindowsFiles, BesideTheProgramWhenWritableElseInTheUsersRoamingFolder)
{
    const fs::path exe = RunningProgramPath();
    ASSERT_EQ(exe.filename(), L"files_win_tests.exe");
    const TFilePaths beside = ProgramFilePaths(exe, "srvdiag");
    EXPECT_EQ(beside.IniPath, exe.parent_path() / L"files_win_tests.INI");
    EXPECT_EQ(beside.TracePath, exe.parent_path() / L"files_win_tests.ERR");

    // A folder that cannot be written (here: one that does not exist; under Program Files on
    // Windows) sends both files to %APPDATA%\srvdiag.
    const wchar_t* appData = _wgetenv(L"APPDATA");
    ASSERT_NE(appData, nullptr);
    const TFilePaths installed =
        ProgramFilePaths(L"C:\\srvdiag-no-such-folder\\srvdiag.exe", "srvdiag");
    EXPECT_EQ(installed.IniPath, fs::path(appData) / L"srvdiag" / L"srvdiag.INI");
    EXPECT_EQ(installed.TracePath, fs::path(appData) / L"srvdiag" / L"srvdiag.ERR");
}

TEST(WindowsFiles, OutputFileRefusesDeviceNamesUnopenedAndWritesOrdinaryFiles)
{
    // COM5 is no port of this run (the harness is not around), but the names must be refused
    // before anything is opened whatever they lead to.
    for (const wchar_t* name :
         {L"NUL", L"nul.txt", L"CON", L"C:\\some\\folder\\aux.dmp", L"COM1", L"com5 .dmp", L"LPT1.",
          L"CONOUT$", L"\\\\.\\COM5", L"\\\\.\\PhysicalDrive0", L"\\\\?\\GLOBALROOT\\x",
          L"\\\\.\\pipe\\srvdiag"}) {
        std::string error;
        EXPECT_EQ(WriteOutputFile(name, "data", 4, &error), -1) << fs::path(name).string();
        EXPECT_EQ(error, "Not a regular file") << fs::path(name).string();
    }

    // Unopened: a pipe's server sees no client.
    const HANDLE pipe = CreateNamedPipeW(L"\\\\.\\pipe\\srvdiag-files-test", PIPE_ACCESS_INBOUND,
                                         PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 0, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteOutputFile(L"\\\\.\\pipe\\srvdiag-files-test", "data", 4), -1);
    EXPECT_FALSE(ConnectNamedPipe(pipe, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING)) << "the pipe was opened";
    CloseHandle(pipe);

    const fs::path dir = fs::temp_directory_path() / L"srvdiag_files_\u00e9\u4e2d";
    fs::create_directories(dir);
    const fs::path file = dir / L"CONSOLE.dmp"; // a name that only begins like a device
    std::ofstream(file, std::ios::binary) << "a longer old content";
    EXPECT_EQ(WriteOutputFile(file, "new", 3), 3);
    EXPECT_EQ(Content(file), "new");
    const fs::path extended = L"\\\\?\\" + (dir / L"x.dmp").wstring();
    EXPECT_EQ(WriteOutputFile(extended, "x", 1), 1);
    EXPECT_EQ(Content(dir / L"x.dmp"), "x");
    fs::remove_all(dir);
}

} // namespace
