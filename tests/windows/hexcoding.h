#pragma once

#include <cstddef>
#include <string>

// The pty harness and the Windows tests talk over a line-based control channel; byte strings
// travel on it as lower-case hex, two digits a byte. Both sides (one built for Linux, one for
// Windows) take these from here.

inline std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

inline std::string Unhex(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}
