// The files of the Windows build: where the settings and trace files go, the refusal of device
// names, and the window's file names. The rules themselves have their tests in the Linux suite.
#include "app/core/filepaths.h"
#include "app/core/platformfiles.h"
#include "app/core/settingsfile.h"
#include "app/core/userfolders.h"
#include "app/win32/widepath.h"
#include "serial/devicename.h"
#include "tests/support/testfiles.h"
#include "worker/outputfile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

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
    // Also with a colon, a stream, the NT prefix, forward slashes or a drive without a folder,
    // and a pipe on a share; the command line's file replacement refuses them as well.
    for (const wchar_t* name : {L"NUL",
                                L"nul.txt",
                                L"CON",
                                L"C:\\some\\folder\\aux.dmp",
                                L"COM1",
                                L"com5 .dmp",
                                L"LPT1.",
                                L"CONOUT$",
                                L"\\\\.\\COM5",
                                L"\\\\.\\PhysicalDrive0",
                                L"\\\\?\\GLOBALROOT\\x",
                                L"\\\\.\\pipe\\srvdiag",
                                L"COM1:",
                                L"CON:",
                                L"con:stream",
                                L"COM1 :",
                                L"LPT2.tar.gz",
                                L"\\??\\COM1",
                                L"\\??\\GLOBALROOT\\Device\\Serial0",
                                L"//./COM1",
                                L"//?/COM1",
                                L"C:COM1",
                                L"c:\\x\\Com\u00B9.dmp",
                                L"\\\\localhost\\pipe\\srvdiag",
                                L"\\\\host\\MailSlot\\x"}) {
        std::string error;
        EXPECT_EQ(WriteOutputFile(name, "data", 4, &error), -1) << fs::path(name).string();
        EXPECT_EQ(error, "Not a regular file") << fs::path(name).string();
        error.clear();
        EXPECT_FALSE(BeginFileReplacement(name, error)) << fs::path(name).string();
        EXPECT_EQ(error, "Not a regular file") << fs::path(name).string();
        EXPECT_FALSE(ReplaceRegularFile(name, "settings")) << fs::path(name).string();
    }
    for (const wchar_t* name :
         {L"COM10", L"console.dmp", L"dir\\CON\\x.dmp", L"pipe\\x", L"\\\\?\\C:\\x.dmp",
          L"\\\\?\\UNC\\host\\share\\x", L"\\\\host\\share\\pipe", L"x.dmp:COM1"})
        EXPECT_FALSE(NamesADevice(name)) << fs::path(name).string();

    // Unopened: a pipe's server sees no client.
    const HANDLE pipe = CreateNamedPipeW(L"\\\\.\\pipe\\srvdiag-files-test", PIPE_ACCESS_INBOUND,
                                         PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 0, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(WriteOutputFile(L"\\\\.\\pipe\\srvdiag-files-test", "data", 4), -1);
    std::string refused;
    EXPECT_FALSE(BeginFileReplacement(L"\\\\.\\pipe\\srvdiag-files-test", refused));
    EXPECT_FALSE(ConnectNamedPipe(pipe, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING)) << "the pipe was opened";
    CloseHandle(pipe);

    const fs::path dir = fs::temp_directory_path() / L"srvdiag_files_\u00e9\u4e2d";
    fs::create_directories(dir);
    const fs::path file = dir / L"CONSOLE.dmp"; // a name that only begins like a device
    std::ofstream(file, std::ios::binary) << "a longer old content";
    EXPECT_EQ(WriteOutputFile(file, "new", 3), 3);
    EXPECT_EQ(ReadFile(file), "new");
    const fs::path extended = L"\\\\?\\" + (dir / L"x.dmp").wstring();
    EXPECT_EQ(WriteOutputFile(extended, "x", 1), 1);
    EXPECT_EQ(ReadFile(dir / L"x.dmp"), "x");
    fs::remove_all(dir);
}

// The probe of the program's folder has a name of its own: another program's probe, about to
// go (delete pending, where Windows refuses to open the name: the fixed name made the folder
// count as not writable), or a file left behind by an old probe, does not change the answer; the
// probe itself leaves nothing. Wine allowances: Wine does not refuse a name whose deletion is
// pending, so there the first part passes with a fixed name too; and a folder that cannot be
// written, where a left-over probe file counted as writable, cannot be made here (Wine ignores
// the read-only attribute of a folder, and the stage runs as root).
TEST(WindowsFiles, WritableFolderProbeIsUniqueAndLeavesNothing)
{
    const fs::path dir = fs::temp_directory_path() / L"srvdiag_probe";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path other = dir / L"srvdiag-write-test.tmp";
    const HANDLE held = CreateFileW(other.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    FILE_DISPOSITION_INFO gone{TRUE};
    EXPECT_TRUE(SetFileInformationByHandle(held, FileDispositionInfo, &gone, sizeof gone));
    EXPECT_TRUE(FolderWritable(dir));
    CloseHandle(held);

    std::ofstream(dir / L"srvdiag-write-test.tmp") << "left behind";
    EXPECT_TRUE(FolderWritable(dir));
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename(), L"srvdiag-write-test.tmp");
        ++files;
    }
    EXPECT_EQ(files, 1U);
    EXPECT_FALSE(FolderWritable(dir / L"missing"));
    fs::remove_all(dir);
}

// Without a usable %APPDATA% the files of an installed copy are never placed relative to the
// current folder. Wine (like Windows) takes the roaming folder from the profile, not from the
// variable, so here the folder stays known; on a broken profile the paths are empty.
TEST(WindowsFiles, EmptyAppDataNeverGivesARelativeFolder)
{
    const wchar_t* kept = _wgetenv(L"APPDATA");
    const std::wstring appData = kept ? kept : L"";
    ASSERT_EQ(_wputenv(L"APPDATA="), 0);
    const TFilePaths installed =
        ProgramFilePaths(L"C:\\srvdiag-no-such-folder\\srvdiag.exe", "srvdiag");
    EXPECT_TRUE(installed.IniPath.empty() || installed.IniPath.is_absolute())
        << installed.IniPath.string();
    EXPECT_TRUE(installed.TracePath.empty() || installed.TracePath.is_absolute())
        << installed.TracePath.string();
    EXPECT_TRUE(UserConfigFolder("srvdiag").empty() || UserConfigFolder("srvdiag").is_absolute());
    _wputenv((L"APPDATA=" + appData).c_str());
    // A settings file without a folder is not saved anywhere.
    EXPECT_FALSE(SaveSettingsFile({}, "x"));
    EXPECT_FALSE(fs::exists(L".tmp"));
}

// A name from the window is kept among the recent files only when the settings file's code page
// holds it exactly: never a look-alike ("\u0141" as "L", a full-width backslash as "\\").
TEST(WindowsFiles, RecentNamesOnlyWhenTheCodePageHoldsThemExactly)
{
    EXPECT_EQ(AnsiName(L"C:\\dumps\\server 1.DMP"), "C:\\dumps\\server 1.DMP");
    EXPECT_EQ(AnsiName(L""), "");
    EXPECT_FALSE(AnsiName(L"\u0141\u00F3d\u017A.DMP"));
    EXPECT_FALSE(AnsiName(L"C:\\x\uFF3Cy.DMP"));
    EXPECT_FALSE(AnsiName(L"\u4E2D.DMP"));
    if (GetACP() == 1252) {
        EXPECT_EQ(AnsiName(L"caf\u00E9.DMP"), "caf\xE9.DMP");
        EXPECT_EQ(WideFromAnsi("caf\xE9"), L"caf\u00E9");
    }
}

} // namespace
