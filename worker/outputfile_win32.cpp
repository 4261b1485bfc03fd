#include "worker/outputfile.h"

#include <windows.h>

namespace {

// True when the name leads to a device rather than a file on a disk, whatever its folder: the
// reserved names CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$ and CONOUT$ (any letter case, with
// any extension, trailing blanks and full stops ignored, as Windows reads them), and names in
// the device namespace ("\\.\..." and "\\?\" paths that are not a drive or a share).
// Opening one of those could reach a serial port or printer, so they are refused unopened.
bool NamesADevice(const std::filesystem::path& name)
{
    const std::wstring& full = name.native();
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (full.size() >= 4 && separator(full[0]) && separator(full[1]) &&
        (full[2] == L'.' || full[2] == L'?') && separator(full[3])) {
        if (full[2] == L'.')
            return true;
        const std::wstring rest = full.substr(4);
        const bool drive = rest.size() >= 2 && rest[1] == L':';
        const bool share = rest.size() >= 4 && (rest[0] == L'U' || rest[0] == L'u') &&
                           (rest[1] == L'N' || rest[1] == L'n') &&
                           (rest[2] == L'C' || rest[2] == L'c') && separator(rest[3]);
        if (!drive && !share)
            return true;
    }
    std::wstring base = name.filename().native();
    base = base.substr(0, base.find(L'.'));
    while (!base.empty() && (base.back() == L' ' || base.back() == L'.'))
        base.pop_back();
    for (wchar_t& c : base)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$")
        return true;
    // COM and LPT with one digit, also the superscript digits 1 to 3 Windows accepts there.
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0))
        return (base[3] >= L'0' && base[3] <= L'9') || base[3] == L'\u00B9' ||
               base[3] == L'\u00B2' || base[3] == L'\u00B3';
    return false;
}

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
