#include "app/win32/ansipath.h"

#include <windows.h>

std::filesystem::path AnsiPath(const std::string& name)
{
    if (name.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(), length);
    return std::filesystem::path(wide);
}
