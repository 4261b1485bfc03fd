#include "app/core/filepaths.h"

#include "app/core/installedcopy.h"
#include "app/core/userfolders.h"

std::filesystem::path WithLastThreeReplaced(const std::filesystem::path& path, const char* ending)
{
    auto text = path.native();
    text.resize(text.size() >= 3 ? text.size() - 3 : 0);
    std::filesystem::path result(text);
    result += ending;
    return result;
}

std::filesystem::path IniPathFor(const std::filesystem::path& programPath)
{
    const auto name = programPath.filename().native();
    if (name.size() >= 4 && name[name.size() - 4] == '.')
        return WithLastThreeReplaced(programPath, "INI");
    std::filesystem::path ini = programPath;
    ini += ".INI";
    return ini;
}

std::filesystem::path TracePathFor(const std::filesystem::path& iniPath)
{
    return WithLastThreeReplaced(iniPath, "ERR");
}

TFilePaths ResolveFilePaths(const std::filesystem::path& programPath, bool programFolderWritable,
                            const std::filesystem::path& configFolder,
                            const std::filesystem::path& dataFolder)
{
    const std::filesystem::path iniPath = IniPathFor(programPath);
    const std::filesystem::path tracePath = TracePathFor(iniPath);
    if (programFolderWritable)
        return {iniPath, tracePath};
    // A user folder the system does not know gives no file at all, never one relative to the
    // current folder.
    const auto in = [](const std::filesystem::path& folder, const std::filesystem::path& name) {
        return folder.is_absolute() ? folder / name : std::filesystem::path();
    };
    return {in(configFolder, iniPath.filename()), in(dataFolder, tracePath.filename())};
}

TFilePaths ProgramFilePaths(const std::filesystem::path& programPath, const std::string& appName)
{
    // An installed copy never writes beside itself, not even for root.
    const std::filesystem::path folder = std::filesystem::absolute(programPath).parent_path();
    return ResolveFilePaths(programPath, !IsInstalledCopy(folder) && FolderWritable(folder),
                            UserConfigFolder(appName), UserDataFolder(appName));
}

std::filesystem::path TraceFolderMade(const std::filesystem::path& tracePath)
{
    std::error_code ignored;
    std::filesystem::create_directories(tracePath.parent_path(), ignored);
    return tracePath;
}
