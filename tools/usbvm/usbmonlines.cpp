#include "tools/usbvm/usbmonlines.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

struct TAddress
{
    std::string Kind; // "Co", "Ci", "Bo", "Bi", "Ii", ...
    int Device = 0;
};

// "Co:1:002:0" (bus, device, endpoint).
bool ParseAddress(const std::string& text, TAddress& address)
{
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first + 1);
    if (first != 2 || second == std::string::npos)
        return false;
    address.Kind = text.substr(0, 2);
    address.Device = std::atoi(text.c_str() + second + 1);
    return true;
}

std::string LineState(int value)
{
    return std::string("DTR=") + ((value & 1) ? "1" : "0") + " RTS=" + ((value & 2) ? "1" : "0");
}

// The data words after "=" as bytes: "80250000 020008" -> 80 25 00 00 02 00 08.
std::vector<unsigned> DataBytes(const std::vector<std::string>& words, std::size_t from)
{
    std::string hex;
    for (std::size_t i = from; i < words.size(); ++i)
        hex += words[i];
    std::vector<unsigned> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    return bytes;
}

std::string Coding(const std::vector<unsigned>& b)
{
    if (b.size() < 7)
        return "coding ?";
    const unsigned rate = b[0] | (b[1] << 8) | (b[2] << 16) | (b[3] << 24);
    const char* parity = "NOEMS";
    const char p = b[5] < 5 ? parity[b[5]] : '?';
    const char* stop = b[4] == 0 ? "1" : b[4] == 1 ? "1.5" : b[4] == 2 ? "2" : "?";
    return "coding " + std::to_string(rate) + " " + std::to_string(b[6]) + p + stop;
}

} // namespace

void TUsbmonLines::Feed(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string word; in >> word;)
        w.push_back(word);
    TAddress address;
    if (w.size() < 5 || !ParseAddress(w[3], address) || address.Device <= 1)
        return;
    const auto stamp = static_cast<std::uint32_t>(std::strtoul(w[1].c_str(), nullptr, 10));
    const std::string& event = w[2];

    if (address.Kind == "Ii") {
        if (event == "S" && !Open) {
            Open = OpenPending = true;
            WriteNoted = false;
        } else if (event == "C" && Open) {
            const int status = std::atoi(w[4].c_str()); // "-2:128" reads as -2
            if (status < 0) {
                Open = OpenPending = false;
                Note(stamp, status == -2 || status == -104 ? "close" : "gone");
            }
        }
    } else if (address.Kind == "Co" && event == "S" && w[4] == "s" && w.size() >= 8 &&
               w[5] == "21") {
        if (w[6] == "22") {
            const int value = static_cast<int>(std::strtoul(w[7].c_str(), nullptr, 16)) & 3;
            if (OpenPending)
                Note(stamp, "open " + LineState(value));
            else if (value != Lines)
                Note(stamp, LineState(value));
            else
                return;
            OpenPending = false;
            WriteNoted = false;
            Lines = value;
        } else if (w[6] == "20") {
            std::size_t equals = 0;
            while (equals < w.size() && w[equals] != "=")
                ++equals;
            Note(stamp, Coding(DataBytes(w, equals + 1)));
        }
    } else if (address.Kind == "Bo" && event == "S" && !WriteNoted) {
        WriteNoted = true;
        Note(stamp, "write");
    }
}

void TUsbmonLines::Note(std::uint32_t stamp, const std::string& what)
{
    if (!HaveStart) {
        HaveStart = true;
        Start = stamp;
    }
    const double ms = static_cast<std::uint32_t>(stamp - Start) / 1000.0; // wraps after 71 min
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ", ms);
    Log.push_back(text + what);
}
