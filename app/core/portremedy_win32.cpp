#include "app/core/portremedy.h"

// Windows has no device groups and no udev: a refused COM port is one another program holds or
// one the administrator restricted; the remedy's text names the first (RuleInstalled stays
// false, Group empty).
TPortAccess PortAccessOf(const std::filesystem::path& /*device*/,
                         const std::vector<std::filesystem::path>& /*ruleFolders*/)
{
    return {};
}

TPortAccess PortAccessOf(const std::filesystem::path& device)
{
    return PortAccessOf(device, {});
}

std::string RefusedPortRemedyOn(const std::string& /*device*/, std::uint8_t lang)
{
    return lang == 1 ? "sluit het programma dat de poort gebruikt, of vraag de beheerder om toegang"
                     : "close the program that uses the port, or ask the administrator for access";
}
