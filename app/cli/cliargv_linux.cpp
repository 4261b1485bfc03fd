#include "app/cli/cliargv.h"

std::vector<std::string> ProgramArguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

std::filesystem::path ArgumentPath(const std::string& argument)
{
    return argument;
}

std::string MessagePath(const std::filesystem::path& path)
{
    return path.native();
}
