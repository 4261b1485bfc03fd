#include "app/core/userfolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace {

// The user's home folder: HOME when it holds an absolute path, else the user's entry in the
// password database; empty when neither gives one (never a folder relative to the current one).
std::filesystem::path HomeFolder()
{
    const char* home = secure_getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    const long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return found->pw_dir;
    return {};
}

// An XDG base folder: the variable when it holds an absolute path (relative ones are ignored, as
// the standard asks), else the fallback below the home folder; empty without a home folder. A
// set-user-ID copy takes no folder from the environment (secure_getenv).
std::filesystem::path BaseFolder(const char* variable, const char* belowHome)
{
    const char* value = secure_getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    const std::filesystem::path home = HomeFolder();
    return home.empty() ? home : home / belowHome;
}

std::filesystem::path AppFolder(const std::filesystem::path& base, const std::string& appName)
{
    return base.empty() ? base : base / appName;
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
    return AppFolder(BaseFolder("XDG_CONFIG_HOME", ".config"), appName);
}

std::filesystem::path UserDataFolder(const std::string& appName)
{
    return AppFolder(BaseFolder("XDG_DATA_HOME", ".local/share"), appName);
}
