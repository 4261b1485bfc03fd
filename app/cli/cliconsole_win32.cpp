#include "app/cli/cliconsole.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <io.h>
#include <string>
#include <windows.h>

namespace {

// UTF-8 as UTF-16; a byte that is no part of a valid sequence becomes U+FFFD.
std::wstring Utf16(std::string_view text)
{
    if (text.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            length);
    return wide;
}

// The console handle behind stream, or null when the stream goes elsewhere.
HANDLE ConsoleOf(std::FILE* stream)
{
    const int fd = _fileno(stream);
    if (fd < 0)
        return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
        return nullptr;
    return handle;
}

} // namespace

bool StandardErrorIsTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

const char* EnvironmentValue(const char* name)
{
    return std::getenv(name);
}

void WriteText(std::FILE* stream, std::string_view text)
{
    const HANDLE console = ConsoleOf(stream);
    if (console == nullptr) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    // What the stream still holds goes first, so that the order stays.
    std::fflush(stream);
    const std::wstring wide = Utf16(text);
    // In pieces older consoles take (their buffer is 64 KB), never splitting a surrogate pair.
    constexpr std::size_t Piece = 8192;
    for (std::size_t at = 0; at < wide.size();) {
        std::size_t count = std::min(Piece, wide.size() - at);
        if (at + count < wide.size() && IS_HIGH_SURROGATE(wide[at + count - 1]))
            --count;
        DWORD written = 0;
        if (!WriteConsoleW(console, wide.data() + at, static_cast<DWORD>(count), &written,
                           nullptr) ||
            written == 0)
            return; // the console went away: nothing more can be shown
        at += written;
    }
}
