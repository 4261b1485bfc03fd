#include "app/cli/batchtexts.h"

#include "app/cli/cliargv.h"
#include "app/cli/clireport.h"
#include "app/cli/clitexts.h"

namespace {

std::string Pick(std::uint8_t lang, const char* english, const char* dutch)
{
    return lang == 1 ? dutch : english;
}

// "; servers present: /dev/ttyACM0, (no port)" or "; no server is present".
std::string PresentServersText(const std::vector<TServerEntry>& present, std::uint8_t lang)
{
    if (present.empty())
        return Pick(lang, "; no server is present", "; er is geen server aangesloten");
    std::string text = Pick(lang, "; servers present: ", "; aangesloten servers: ");
    for (std::size_t i = 0; i < present.size(); ++i)
        text += (i == 0 ? "" : ", ") + (present[i].DevicePath.empty()
                                            ? Pick(lang, "(no port)", "(geen poort)")
                                            : present[i].DevicePath);
    return text;
}

} // namespace

std::string RunPrefixText(unsigned run, const std::string& id, std::uint8_t lang)
{
    return Pick(lang, "read-out ", "uitlezing ") + std::to_string(run) + ", server " + id + ": ";
}

std::string TraceText(const std::string& path, const std::string& error, std::uint8_t lang)
{
    return error.empty() ? CliText(cmTraceWritten, lang, {path, ExplainCommandText(path, false)})
                         : CliText(cmTraceFailed, lang, {path, error});
}

std::string NoServerOnPortText(const std::string& port, const std::vector<TServerEntry>& present,
                               std::uint8_t lang)
{
    return Pick(lang, "server not found: no server on port ",
                "server niet gevonden: geen server op poort ") +
           port + PresentServersText(present, lang);
}

std::string ListLine(const TListedServer& server, std::uint8_t lang)
{
    std::string line = server.Server.DevicePath.empty() ? Pick(lang, "(no port)", "(geen poort)")
                                                        : server.Server.DevicePath;
    line += '\t';
    line += server.Server.UsbPath.empty() ? std::string("-") : server.Server.UsbPath;
    if (!server.Identified)
        return line;
    line += '\t';
    if (server.Accepted)
        return line + ReadableIdText(server.IdText, false);
    line += Pick(lang, "not identified", "niet herkend");
    if (!server.IdText.empty())
        line += " (" + ReadableIdText(server.IdText, false) + ")";
    return line;
}

std::string NoServerListedText(const std::string& port, const std::vector<TServerEntry>& present,
                               std::uint8_t lang)
{
    if (!port.empty())
        return Pick(lang, "srvdiag-cli: no server on port ", "srvdiag-cli: geen server op poort ") +
               port + PresentServersText(present, lang);
    return Pick(lang, "srvdiag-cli: no server found (no USB device 04d8:fe88)",
                "srvdiag-cli: geen server gevonden (geen USB-apparaat 04d8:fe88)");
}

std::string WaitTimedOutText(unsigned seconds, std::uint8_t lang)
{
    return Pick(lang, "server not found: none appeared within ", "server niet gevonden: binnen ") +
           std::to_string(seconds) + Pick(lang, " s", " s is er geen verschenen");
}

std::string WaitingForServerText(std::uint8_t lang)
{
    return Pick(lang, "srvdiag-cli: waiting for a server to be plugged in...",
                "srvdiag-cli: wachten tot een server wordt aangesloten...");
}

std::string WaitingForUnplugText(std::uint8_t lang)
{
    return Pick(lang, "srvdiag-cli: unplug the server to read the next one",
                "srvdiag-cli: koppel de server los om de volgende uit te lezen");
}

std::string NoFolderText(const std::filesystem::path& folder, std::uint8_t lang)
{
    return Pick(lang, "srvdiag-cli: the folder of OUTPUT does not exist: ",
                "srvdiag-cli: de map van OUTPUT bestaat niet: ") +
           MessagePath(folder);
}

std::string RepeatSummaryText(unsigned read, unsigned failed, std::uint8_t lang)
{
    return Pick(lang, "srvdiag-cli: summary: ", "srvdiag-cli: samenvatting: ") +
           std::to_string(read) +
           (read == 1 ? Pick(lang, " server read, ", " server uitgelezen, ")
                      : Pick(lang, " servers read, ", " servers uitgelezen, ")) +
           std::to_string(failed) +
           (failed == 1 ? Pick(lang, " read-out failed", " uitlezing mislukt")
                        : Pick(lang, " read-outs failed", " uitlezingen mislukt"));
}
