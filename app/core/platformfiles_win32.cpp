#include "app/core/platformfiles.h"
#include "serial/devicename.h"
#include "serial/systemmessage_win32.h"

#include <algorithm>
#include <atomic>
#include <windows.h>

namespace {

struct THandle
{
    HANDLE Value;
    explicit THandle(HANDLE h) : Value(h) {}
    ~THandle()
    {
        if (Value != INVALID_HANDLE_VALUE)
            CloseHandle(Value);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    bool Valid() const { return Value != INVALID_HANDLE_VALUE; }
};

// True when the handle is an ordinary file on a disk, not a folder, pipe, console or device.
bool IsRegularFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The system's text for an error code.
std::string SystemReason(DWORD code)
{
    std::string reason = WindowsErrorText(code);
    return reason.empty() ? "Error " + std::to_string(code) : reason;
}

} // namespace

std::optional<TFileStart> ReadRegularFileStart(const std::filesystem::path& path, std::size_t limit)
{
    // A device name is refused before anything is opened: even an open raises a serial port's
    // modem lines.
    if (NamesADevice(path))
        return std::nullopt;
    THandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid() || !IsRegularFile(file.Value))
        return std::nullopt;
    // Read up to one byte past the bound, whatever size the file claims.
    TFileStart start;
    char buffer[65536];
    while (start.Content.size() <= limit) {
        const std::size_t want = std::min(sizeof buffer, limit + 1 - start.Content.size());
        DWORD got = 0;
        if (!ReadFile(file.Value, buffer, static_cast<DWORD>(want), &got, nullptr))
            return std::nullopt;
        if (got == 0) {
            start.Whole = true;
            return start;
        }
        start.Content.append(buffer, got);
    }
    start.Content.resize(limit);
    return start;
}

bool ReplaceRegularFile(const std::filesystem::path& path, const std::string& content)
{
    // A device name is refused before anything is opened. CreateFileW follows a symbolic link to
    // its target, so the check is on what the name leads to; the replace below goes through the
    // same name.
    if (NamesADevice(path))
        return false;
    bool exists = false;
    {
        THandle old(CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (old.Valid()) {
            if (!IsRegularFile(old.Value))
                return false;
            exists = true;
        } else if (const DWORD error = GetLastError();
                   error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return false;
        }
    }
    if (!exists) {
        std::error_code ignored;
        std::filesystem::create_directories(path.parent_path(), ignored);
    }

    std::filesystem::path temporary = path;
    temporary += L".tmp";
    bool ok = false;
    {
        THandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid())
            return false;
        DWORD written = 0;
        ok =
            (content.empty() || (WriteFile(file.Value, content.data(),
                                           static_cast<DWORD>(content.size()), &written, nullptr) &&
                                 written == content.size())) &&
            FlushFileBuffers(file.Value);
    }
    if (ok && exists)
        ok = ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                          nullptr, nullptr) ||
             MoveFileExW(temporary.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    else if (ok)
        ok = MoveFileExW(temporary.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileW(temporary.c_str());
    return ok;
}

std::optional<TFileReplacement> BeginFileReplacement(const std::filesystem::path& path,
                                                     std::string& error)
{
    // A device name is refused before anything is opened: even an open without access rights
    // raises a serial port's modem lines.
    if (NamesADevice(path)) {
        error = "Not a regular file";
        return std::nullopt;
    }
    bool exists = false;
    {
        // CreateFileW follows a symbolic link, so the checks are on what the name leads to.
        THandle old(CreateFileW(path.c_str(), 0,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (old.Valid()) {
            BY_HANDLE_FILE_INFORMATION info{};
            if (GetFileInformationByHandle(old.Value, &info) &&
                (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                error = "Is a folder";
                return std::nullopt;
            }
            if (!IsRegularFile(old.Value)) {
                error = "Not a regular file";
                return std::nullopt;
            }
            exists = true;
        } else if (const DWORD code = GetLastError(); code != ERROR_FILE_NOT_FOUND) {
            error = SystemReason(code); // a missing folder among them
            return std::nullopt;
        }
    }
    if (exists) {
        THandle probe(CreateFileW(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.Valid()) {
            error = SystemReason(GetLastError());
            return std::nullopt;
        }
    }
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path temporary = path;
        temporary += L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(counter++) + L".tmp";
        if (NamesADevice(temporary)) {
            error = "Not a regular file";
            return std::nullopt;
        }
        THandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Valid())
            return TFileReplacement{path, temporary, exists, nullptr};
        if (const DWORD code = GetLastError(); code != ERROR_FILE_EXISTS) {
            error = SystemReason(code);
            return std::nullopt;
        }
    }
    error = SystemReason(ERROR_FILE_EXISTS);
    return std::nullopt;
}

long WriteFileReplacement(const TFileReplacement& replacement, const char* data, std::size_t count,
                          std::string& error)
{
    THandle file(CreateFileW(replacement.Temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                             TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file.Valid() ||
        (count > 0 && (!WriteFile(file.Value, data, static_cast<DWORD>(count), &written, nullptr) ||
                       written != count))) {
        error = SystemReason(GetLastError());
        return -1;
    }
    return static_cast<long>(count);
}

bool CompleteFileReplacement(const TFileReplacement& replacement, std::string& error)
{
    {
        THandle file(CreateFileW(replacement.Temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid() || !FlushFileBuffers(file.Value)) {
            error = SystemReason(GetLastError());
            return false;
        }
    }
    if (!MoveFileExW(replacement.Temporary.c_str(), replacement.Target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = SystemReason(GetLastError());
        return false;
    }
    return true;
}

void AbandonFileReplacement(const TFileReplacement& replacement)
{
    DeleteFileW(replacement.Temporary.c_str());
}
