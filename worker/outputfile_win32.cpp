#include "serial/devicename.h"
#include "worker/outputfile.h"

#include <windows.h>

namespace {

long Fail(std::string* error, const char* why)
{
    if (error)
        *error = why + std::string(" (error ") + std::to_string(GetLastError()) + ")";
    return -1;
}

} // namespace

long WriteOutputFile(const std::filesystem::path& name, const char* data, std::size_t count,
                     std::string* error)
{
    if (NamesADevice(name)) {
        if (error)
            *error = "Not a regular file";
        return -1;
    }
    // A folder is refused before anything is opened.
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        if (error)
            *error = "Is a folder";
        return -1;
    }
    // Not truncated on opening: only a file on a disk is emptied and written, never a device or
    // a pipe (a pipe's client end opens at once or not at all).
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Fail(error, "Cannot be created");
    long written = -1;
    DWORD done = 0;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        if (error)
            *error = "Not a regular file";
    } else if (!SetEndOfFile(file) ||
               !WriteFile(file, data, static_cast<DWORD>(count), &done, nullptr)) {
        Fail(error, "Cannot be written");
    } else {
        written = static_cast<long>(done);
    }
    CloseHandle(file);
    return written;
}
