#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TScratchDir
{
public:
    TScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "srvdiag-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            Folder = pattern;
    }
    ~TScratchDir()
    {
        std::error_code ignored;
        std::filesystem::permissions(Folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(Folder, ignored);
    }
    TScratchDir(const TScratchDir&) = delete;
    TScratchDir& operator=(const TScratchDir&) = delete;

    const std::filesystem::path& Path() const { return Folder; }
    std::filesystem::path File(const std::string& name) const { return Folder / name; }

private:
    std::filesystem::path Folder;
};

// The whole content of a file, or empty.
inline std::string FileContent(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

inline void WriteFileContent(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
}
