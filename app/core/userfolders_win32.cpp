#include "app/core/userfolders.h"

#include <atomic>
#include <shlobj.h>
#include <string>
#include <windows.h>

namespace {

std::filesystem::path RoamingAppData()
{
    PWSTR folder = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder)) &&
        folder != nullptr)
        result = folder;
    CoTaskMemFree(folder);
    // A folder the system does not know (an empty or broken profile setting) is none at all,
    // never one relative to the current folder.
    if (!result.is_absolute())
        return {};
    return result;
}

// The user's folder for appName, or none when the roaming folder is unknown.
std::filesystem::path AppFolder(const std::string& appName)
{
    const std::filesystem::path roaming = RoamingAppData();
    return roaming.empty() ? roaming : roaming / appName;
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
    // Its name is this probe's own (process, count, time), so that two programs starting together
    // do not see each other's probe, and a file left behind in a folder that cannot be written
    // proves nothing. It goes when it is closed.
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::wstring name = L"srvdiag-write-test-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(counter++) + L"-" +
                                  std::to_wstring(GetTickCount64()) + L".tmp";
        const std::filesystem::path probe = folder / name;
        const HANDLE file =
            CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    return false;
}

std::filesystem::path UserConfigFolder(const std::string& appName)
{
    return AppFolder(appName);
}

std::filesystem::path UserDataFolder(const std::string& appName)
{
    return AppFolder(appName);
}
