#include "app/core/installedcopy.h"

#include <system_error>

namespace fs = std::filesystem;

namespace {

// The path without "." and ".." parts and without a trailing separator.
fs::path Lexical(const fs::path& path)
{
    fs::path normal = path.lexically_normal();
    if (normal.has_relative_path() && !normal.has_filename())
        normal = normal.parent_path();
    return normal;
}

// The path with symbolic links resolved as far as it exists (/bin is /usr/bin on a merged
// system), or the lexical form when that fails.
fs::path Resolved(const fs::path& path)
{
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(path, error);
    return error ? Lexical(path) : Lexical(resolved);
}

} // namespace

bool IsInstalledCopy(const fs::path& programDir, const fs::path& installPrefix)
{
    if (programDir.empty() || installPrefix.empty() || !installPrefix.is_absolute())
        return false;
    const fs::path bin = installPrefix / SRVDIAG_INSTALL_BINDIR;
    return Lexical(programDir) == Lexical(bin) || Resolved(programDir) == Resolved(bin);
}

std::vector<fs::path> SystemInstallPrefixes()
{
    return {"/usr", "/usr/local", SRVDIAG_INSTALL_PREFIX};
}

bool IsInstalledCopy(const fs::path& programDir)
{
    for (const fs::path& prefix : SystemInstallPrefixes())
        if (IsInstalledCopy(programDir, prefix))
            return true;
    return false;
}
