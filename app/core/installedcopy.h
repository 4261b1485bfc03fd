#pragma once

#include <filesystem>
#include <vector>

// An installed copy: a program whose folder is the programs' folder of a system prefix
// (<prefix>/bin). The package manager owns that folder, so such a copy keeps its settings and
// trace files in the user's own folders, whoever runs it, root included. Any other copy (a build
// tree, an unpacked archive, also one in a folder of its own below /usr/local or /opt) keeps them
// beside itself.
bool IsInstalledCopy(const std::filesystem::path& programDir,
                     const std::filesystem::path& installPrefix);

// The prefixes an installed copy can be under: /usr (the Debian package), /usr/local, and the
// prefix this build was configured with.
std::vector<std::filesystem::path> SystemInstallPrefixes();

// IsInstalledCopy for any of SystemInstallPrefixes().
bool IsInstalledCopy(const std::filesystem::path& programDir);
