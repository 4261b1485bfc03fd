#include "app/core/userfolders.h"

#include <cstdlib>
#include <unistd.h>

namespace {

// An XDG base folder: the variable when it holds an absolute path (relative ones are ignored, as
// the standard asks), else the fallback below the home folder. A set-user-ID copy takes no folder
// from the environment (secure_getenv).
std::filesystem::path BaseFolder(const char* variable, const char* belowHome)
{
    const char* value = secure_getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    const char* home = secure_getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "") / belowHome;
}

} // namespace

std::filesystem::path RunningProgramPath()
{
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error);
}

bool FolderWritable(const std::filesystem::path& folder)
{
    // access() rather than the file's mode bits: it also answers for read-only mounts and for
    // root, who may write anywhere the mode says otherwise.
    return ::access(folder.c_str(), W_OK) == 0;
}

std::filesystem::path UserConfigFolder(const std::string& appName)
{
    return BaseFolder("XDG_CONFIG_HOME", ".config") / appName;
}

std::filesystem::path UserDataFolder(const std::string& appName)
{
    return BaseFolder("XDG_DATA_HOME", ".local/share") / appName;
}
