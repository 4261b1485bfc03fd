// The command line on Windows: its texts in UTF-16 to a console, which would otherwise show
// UTF-8 bytes in its OEM code page, the UTF-8 bytes unchanged to a pipe or a file; and explain's
// refusal of a device name before anything is opened.
#include "app/cli/cliconsole.h"
#include "app/cli/explaincommand.h"
#include "serial/uniquehandle_win32.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <string>
#include <windows.h>

namespace {

// A stream on an OS handle of the test's own; closing the stream closes the handle.
std::FILE* StreamOn(HANDLE handle, const char* mode)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    return fd < 0 ? nullptr : _fdopen(fd, mode);
}

// "Łódź ✓ 😀" in UTF-8: Latin letters outside the code page, a sign and a pair of surrogates.
const std::string Text = "\xC5\x81\xC3\xB3"
                         "d\xC5\xBA \xE2\x9C\x93 \xF0\x9F\x98\x80";
const std::wstring Wide = L"\u0141\u00F3d\u017A \u2713 \U0001F600";

TEST(ConsoleText, ConsoleGetsUtf16)
{
    // A screen buffer of the test's console (ctest leaves it one without a window; one is made
    // when there is none), so that what the console holds can be read back.
    const auto makeScreen = [] {
        return CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         CONSOLE_TEXTMODE_BUFFER, nullptr);
    };
    HANDLE screen = makeScreen();
    if (screen == INVALID_HANDLE_VALUE && AllocConsole())
        screen = makeScreen();
    // Wine gives a program started without a terminal a console that takes no screen buffers;
    // the stage runs this test on a terminal as well (SRVDIAG_NEED_CONSOLE), where it must run.
    if (screen == INVALID_HANDLE_VALUE) {
        ASSERT_EQ(std::getenv("SRVDIAG_NEED_CONSOLE"), nullptr)
            << "no console (error " << GetLastError() << ")";
        GTEST_SKIP() << "no console here (error " << GetLastError() << ")";
    }
    std::FILE* stream = StreamOn(screen, "wb");
    ASSERT_NE(stream, nullptr);
    WriteText(stream, "before ");
    WriteText(stream, Text);
    std::wstring shown(64, L'\0');
    DWORD got = 0;
    ASSERT_TRUE(ReadConsoleOutputCharacterW(screen, shown.data(), static_cast<DWORD>(shown.size()),
                                            COORD{0, 0}, &got));
    shown.resize(got);
    // A console cell holds one UTF-16 unit; the surrogate pair is checked as written units.
    EXPECT_EQ(shown.substr(0, 7 + Wide.size()), L"before " + Wide);
    std::fclose(stream);
}

TEST(ConsoleText, PipeGetsTheUtf8Bytes)
{
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    TUniqueHandle reader(readEnd);
    std::FILE* stream = StreamOn(writeEnd, "wb");
    ASSERT_NE(stream, nullptr);
    WriteText(stream, Text + "\n");
    std::fclose(stream);
    std::string bytes(64, '\0');
    DWORD got = 0;
    ASSERT_TRUE(
        ReadFile(reader.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr));
    bytes.resize(got);
    EXPECT_EQ(bytes, Text + "\n");
}

TEST(ExplainOnWindows, RefusesDeviceNamesUnopened)
{
    for (const wchar_t* name : {L"COM1:", L"\\\\.\\COM5", L"CON", L"nul.ERR"}) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        ASSERT_TRUE(out && err);
        EXPECT_EQ(RunExplain(name, false, 0, out, err), ExitNoTrace);
        std::rewind(err);
        char line[256] = {};
        ASSERT_NE(std::fgets(line, sizeof line, err), nullptr);
        EXPECT_NE(std::string(line).find(" is not a regular file"), std::string::npos) << line;
        std::fclose(out);
        std::fclose(err);
    }
}

} // namespace
