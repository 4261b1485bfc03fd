#include "app/cli/explaincommand.h"

#include "app/cli/cliargv.h"
#include "app/cli/cliconsole.h"
#include "app/cli/clijson.h"
#include "app/cli/terminaltext.h"
#include "app/core/platformfiles.h"
#include "serial/devicename.h"

#include <system_error>

namespace {

// A trace of a full read-out is about 20 kB; a file much larger than that is no trace.
constexpr std::size_t MostTraceBytes = 1 << 22;

// A JSON string. Bytes from 0x80 on are taken as the single-byte code page's Latin-1 letters,
// so that any byte of a device name or an identification text gives valid JSON.
std::string Quoted(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (b < 0x20 || b >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", b);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string NumberOrNull(int value)
{
    return value < 0 ? "null" : std::to_string(value);
}

// Why the file cannot be read, or nothing; the content otherwise. The file is opened without
// waiting (a FIFO that took the name's place), checked through what was opened and read only up
// to the bound, whatever size it claims (a /proc file says 0).
std::optional<std::string> ReadTrace(const std::filesystem::path& path, std::string& content,
                                     bool dutch)
{
    // A name Windows reads as a device (COM1:, \\.\COM5) is refused before anything looks at
    // it: opening a serial port raises its modem lines.
    if (NamesADevice(path))
        return dutch ? "is geen gewoon bestand" : "is not a regular file";
    if (std::optional<TFileStart> start = ReadRegularFileStart(path, MostTraceBytes)) {
        if (!start->Whole)
            return dutch ? "is te groot voor een trace" : "is too large to be a trace";
        content = std::move(start->Content);
        return std::nullopt;
    }
    // Only to say why: nothing is opened by name here.
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return dutch ? "bestaat niet" : "does not exist";
    if (std::filesystem::is_directory(status))
        return dutch ? "is een map" : "is a folder";
    if (!std::filesystem::is_regular_file(status))
        return dutch ? "is geen gewoon bestand" : "is not a regular file";
    return dutch ? "kan niet worden gelezen" : "cannot be read";
}

} // namespace

std::string ExplainText(const TTraceWalk& walk, std::uint8_t langIndex)
{
    const bool nl = langIndex == 1;
    const TTraceVerdict& v = walk.Verdict;
    std::string text;
    for (const TTraceStep& step : walk.Steps) {
        const std::string entry = std::to_string(step.Entry + 1);
        text += std::string(entry.size() < 5 ? 5 - entry.size() : 0, ' ') + entry + "  " +
                step.Text + "\n";
    }
    if (walk.Steps.empty())
        text += nl ? "De trace is leeg.\n" : "The trace is empty.\n";
    if (!v.Identification.empty() && v.Identification.size() > 1)
        text += (nl ? "Identificatie van de server: " : "Server identification: ") +
                v.Identification.substr(1) + "\n";
    if (v.Stage == TTraceStage::Block || v.Stage == TTraceStage::ReadOut ||
        v.Stage == TTraceStage::Shutdown)
        text += (nl ? "Blokken gelezen: " : "Blocks read: ") + std::to_string(v.BlocksRead) +
                (nl ? " van 128\n" : " of 128\n");
    text += (nl ? "Resultaat: " : "Result: ") + VerdictText(v, langIndex) + "\n";
    text += (nl ? "Oorzaak: " : "Cause: ") + VerdictCause(v, langIndex) + "\n";
    return text;
}

std::string ExplainJson(const TTraceWalk& walk, const std::string& traceName,
                        std::uint8_t langIndex)
{
    const TTraceVerdict& v = walk.Verdict;
    // The name is the system's (UTF-8 on both systems): each letter is kept as one.
    std::string json = "{\"trace\":" + JsonString(traceName);
    if (walk.Error)
        return json + ",\"error\":" + Quoted(*walk.Error) + "}\n";
    json += ",\"device\":" + (v.Device.empty() && v.Stage == TTraceStage::Discovery
                                  ? std::string("null")
                                  : Quoted(v.Device));
    json += ",\"identification\":" +
            (v.Identification.empty() ? std::string("null") : Quoted(v.Identification));
    json += std::string(",\"complete\":") + (v.Complete() ? "true" : "false");
    json += ",\"stage\":" + Quoted(StageName(v.Stage));
    json += ",\"step\":" + NumberOrNull(v.Step > 0 ? v.Step : -1);
    json += ",\"block\":" + NumberOrNull(v.Block);
    json += ",\"fault\":" + Quoted(FaultName(v.Fault));
    json += ",\"expected\":" + NumberOrNull(v.Expected);
    json += ",\"received\":" + NumberOrNull(v.Received);
    json += ",\"blocks_read\":" + std::to_string(v.BlocksRead);
    json += ",\"text\":" + Quoted(VerdictText(v, langIndex));
    json += ",\"cause\":" + Quoted(VerdictCause(v, langIndex));
    json += ",\"steps\":[";
    for (std::size_t i = 0; i < walk.Steps.size(); ++i) {
        const TTraceStep& s = walk.Steps[i];
        json += (i == 0 ? "" : ",") + std::string("{\"entry\":") + std::to_string(s.Entry + 1) +
                ",\"stage\":" + Quoted(StageName(s.Stage)) +
                ",\"step\":" + NumberOrNull(s.Step > 0 ? s.Step : -1) +
                ",\"block\":" + NumberOrNull(s.Block) + ",\"ok\":" + (s.Ok ? "true" : "false") +
                ",\"text\":" + Quoted(s.Text) + "}";
    }
    return json + "]}\n";
}

int RunExplain(const std::filesystem::path& trace, bool json, std::uint8_t langIndex,
               std::FILE* out, std::FILE* err)
{
    const bool nl = langIndex == 1;
    const std::string name = MessagePath(trace);
    std::string content;
    if (const auto why = ReadTrace(trace, content, nl)) {
        WriteText(err, "srvdiag-cli: " + TerminalText(name) + " " + *why + "\n");
        if (json) {
            TTraceWalk none;
            none.Error = *why;
            WriteText(out, ExplainJson(none, name, langIndex));
        }
        return ExitNoTrace;
    }
    const TTraceWalk walk = WalkTrace(content);
    if (walk.Error) {
        WriteText(err, "srvdiag-cli: " + TerminalText(name) +
                           (nl ? " is geen trace van dit programma ("
                               : " is not a trace of this program (") +
                           TerminalText(*walk.Error) + ")\n");
        if (json)
            WriteText(out, ExplainJson(walk, name, langIndex));
        return ExitNotATrace;
    }
    const std::string text =
        json ? ExplainJson(walk, name, langIndex) : TerminalLines(ExplainText(walk, langIndex));
    WriteText(out, text);
    std::fflush(out);
    return 0;
}
