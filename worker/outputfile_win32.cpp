#include "worker/outputfile.h"

#include <windows.h>

long WriteOutputFile(const std::string& name, const char* data, std::size_t count)
{
    // A folder is refused before anything is opened.
    const DWORD attributes = GetFileAttributesA(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return -1;
    // Not truncated on opening: only a file on a disk is emptied and written, never a device or
    // a pipe (a pipe's client end opens at once or not at all).
    const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    long written = -1;
    DWORD done = 0;
    if (GetFileType(file) == FILE_TYPE_DISK && SetEndOfFile(file) &&
        WriteFile(file, data, static_cast<DWORD>(count), &done, nullptr))
        written = static_cast<long>(done);
    CloseHandle(file);
    return written;
}
