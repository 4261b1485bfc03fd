#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// What a technician can do about a port the system refused to open: join the group that owns the
// device node, or install the package's udev rule (which serves only the user at the local
// seat, not one logged in over SSH).

// What the refusal remedy depends on, as the system tells it (portremedy_linux.cpp,
// portremedy_win32.cpp).
struct TPortAccess
{
    std::string Group;          // the group owning the device node; empty when unknown
    bool RuleInstalled = false; // the package's udev rule is where udev reads it
};

// The group owning device and whether the rule is installed; the folders udev reads rules from
// are given so that a test can name its own.
TPortAccess PortAccessOf(const std::filesystem::path& device,
                         const std::vector<std::filesystem::path>& ruleFolders);
TPortAccess PortAccessOf(const std::filesystem::path& device);

// The remedy in language lang (0 English, 1 Dutch), without a line end.
std::string RefusedPortRemedy(const TPortAccess& access, std::uint8_t lang);

// The remedy for the port device as this system stands.
std::string RefusedPortRemedyOn(const std::string& device, std::uint8_t lang);
