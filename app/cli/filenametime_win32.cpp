#include "app/cli/outputname.h"

std::string FileNameTime(std::time_t when)
{
    std::tm local{};
    char text[32] = {};
    if (localtime_s(&local, &when) != 0 ||
        std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local) == 0)
        return "00000000-000000";
    return text;
}
