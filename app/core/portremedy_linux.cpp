#include "app/core/portremedy.h"

#include <grp.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

constexpr const char* RuleName = "70-srvdiag.rules";

std::string GroupName(gid_t gid)
{
    long size = sysconf(_SC_GETGR_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return std::to_string(gid); // a group without a name is still one to be given
    return found->gr_name;
}

} // namespace

TPortAccess PortAccessOf(const std::filesystem::path& device,
                         const std::vector<std::filesystem::path>& ruleFolders)
{
    TPortAccess access;
    struct stat node
    {
    };
    if (stat(device.c_str(), &node) == 0)
        access.Group = GroupName(node.st_gid);
    for (const std::filesystem::path& folder : ruleFolders) {
        std::error_code failed;
        if (std::filesystem::exists(folder / RuleName, failed))
            access.RuleInstalled = true;
    }
    return access;
}

TPortAccess PortAccessOf(const std::filesystem::path& device)
{
    // Where udev reads rules: the package's folder on Debian 12 and later releases, and the
    // administrator's.
    return PortAccessOf(device,
                        {"/lib/udev/rules.d", "/usr/lib/udev/rules.d", "/etc/udev/rules.d"});
}

std::string RefusedPortRemedyOn(const std::string& device, std::uint8_t lang)
{
    return RefusedPortRemedy(PortAccessOf(device), lang);
}
