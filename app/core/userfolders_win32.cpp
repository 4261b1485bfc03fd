#include "app/core/userfolders.h"

#include <shlobj.h>
#include <windows.h>

namespace {

std::filesystem::path RoamingAppData()
{
    PWSTR folder = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)))
        result = folder;
    CoTaskMemFree(folder);
    return result;
}

} // namespace

std::filesystem::path RunningProgramPath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    while (true) {
        const DWORD n =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::filesystem::path(buffer.substr(0, n));
        buffer.resize(buffer.size() * 2);
    }
}

bool FolderWritable(const std::filesystem::path& folder)
{
    // The mode bits of Windows say little (ACLs, virtualised Program Files): try to create a file.
    const std::filesystem::path probe = folder / L"srvdiag-write-test.tmp";
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(file);
    return true;
}

std::filesystem::path UserConfigFolder(const std::string& appName)
{
    return RoamingAppData() / appName;
}

std::filesystem::path UserDataFolder(const std::string& appName)
{
    return RoamingAppData() / appName;
}
