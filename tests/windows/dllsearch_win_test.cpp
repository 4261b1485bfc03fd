// Where the programs look for a DLL loaded by name: System32 alone, once RestrictDllSearch has
// run, never the current folder nor the program's own (a downloads folder holding a planted DLL).
// Each test runs in a process of its own, so the first part shows the plant works without it.
#include "app/core/dllsearch.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

constexpr const wchar_t* Planted = L"srvdiag_planted.dll";

bool Loads(const wchar_t* name)
{
    const HMODULE module = LoadLibraryW(name);
    if (module == nullptr)
        return false;
    FreeLibrary(module);
    return true;
}

TEST(DllSearch, PlantedDllsAreNotLoadedByName)
{
    wchar_t self[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0U);
    const fs::path programFolder = fs::path(self).parent_path();
    ASSERT_TRUE(fs::exists(programFolder / Planted)) << "the build puts it beside the test";

    // The current folder, as a downloads folder would be, holds a differently named copy.
    const fs::path downloads = fs::temp_directory_path() / L"srvdiag_dllsearch_downloads";
    fs::create_directories(downloads);
    fs::copy_file(programFolder / Planted, downloads / L"srvdiag_planted_cwd.dll",
                  fs::copy_options::overwrite_existing);
    ASSERT_TRUE(SetCurrentDirectoryW(downloads.c_str()));

    EXPECT_TRUE(Loads(Planted)) << "without the restriction the program's folder is searched";
    EXPECT_TRUE(Loads(L"srvdiag_planted_cwd.dll"))
        << "without the restriction the current folder is searched";

    EXPECT_TRUE(RestrictDllSearch());
    EXPECT_FALSE(Loads(Planted));
    EXPECT_FALSE(Loads(L"srvdiag_planted_cwd.dll"));
    EXPECT_TRUE(Loads(L"version.dll")) << "System32 is still searched";

    SetCurrentDirectoryW(programFolder.c_str());
    fs::remove_all(downloads);
}

} // namespace
