#include "ptycontrol.h"

#include "tests/windows/hexcoding.h"

// winsock2.h must come before windows.h.
// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <cstdlib>
#include <stdexcept>

TPtyControl::TPtyControl()
{
    const char* port = std::getenv("SRVDIAG_PTY_CONTROL");
    if (port == nullptr)
        throw std::runtime_error("not started by the COM port harness (no SRVDIAG_PTY_CONTROL)");
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        throw std::runtime_error("WSAStartup failed");
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (s == INVALID_SOCKET ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot reach the COM port harness");
    Socket = s;
}

TPtyControl::~TPtyControl()
{
    closesocket(static_cast<SOCKET>(Socket));
    WSACleanup();
}

std::string TPtyControl::Command(const std::string& line)
{
    const std::string request = line + "\n";
    const auto s = static_cast<SOCKET>(Socket);
    if (send(s, request.data(), static_cast<int>(request.size()), 0) !=
        static_cast<int>(request.size()))
        throw std::runtime_error("harness: send failed");
    std::string answer;
    char c = 0;
    while (recv(s, &c, 1, 0) == 1 && c != '\n')
        answer += c;
    if (answer.rfind("OK", 0) != 0)
        throw std::runtime_error("harness: " + line + ": " + answer);
    return answer.size() > 3 ? answer.substr(3) : std::string();
}

void TPtyControl::Send(const std::string& bytes)
{
    Command("SEND " + Hex(bytes));
}

std::string TPtyControl::Receive(std::size_t n, int ms)
{
    return Unhex(Command("RECV " + std::to_string(n) + " " + std::to_string(ms)));
}

void TPtyControl::Drain()
{
    Command("DRAIN");
}

std::string TPtyControl::LineSettings()
{
    return Command("TERMIOS");
}

std::string TPtyControl::ModemLineChanges()
{
    return Command("LINES");
}

void TPtyControl::HangUp()
{
    Command("HANGUP");
}

std::string ComMappingProblem()
{
    const char* link = std::getenv("SRVDIAG_COM_LINK");
    if (link == nullptr)
        return "no SRVDIAG_COM_LINK: not started by the COM port harness";
    char value[1024] = {};
    DWORD size = sizeof value;
    const LSTATUS status = RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Wine\\Ports", kTestPort,
                                        RRF_RT_REG_SZ, nullptr, value, &size);
    if (status != ERROR_SUCCESS)
        return "HKLM\\Software\\Wine\\Ports has no COM5 value";
    if (std::string(value) != link)
        return std::string("COM5 is mapped to ") + value + ", not to " + link;
    return "";
}

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
