#include "tests/e2e/e2efiles.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TTempDir::TTempDir()
{
    char pattern[] = "/tmp/srvdiag-e2e.XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    Dir = pattern;
}

TTempDir::~TTempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(Dir, ignored);
}

void CopyProgram(const std::string& from, const std::string& to)
{
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::permissions(to, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add);
}
