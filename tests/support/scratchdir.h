#pragma once

#include "tests/support/testfiles.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

// A fresh folder under the system's temporary folder (or the given one), removed with everything
// in it at the end.
class TScratchDir
{
public:
    explicit TScratchDir(
        const std::filesystem::path& under = std::filesystem::temp_directory_path())
    {
        std::string pattern = (under / "srvdiag-XXXXXX").string();
        // Thrown rather than left empty: names joined to an empty folder would land elsewhere.
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch folder under " + under.string());
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
