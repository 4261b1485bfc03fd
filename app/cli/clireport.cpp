#include "app/cli/clireport.h"

#include "app/cli/cliargv.h"
#include "app/cli/cliconsole.h"
#include "app/cli/clihost.h"
#include "app/cli/clijson.h"
#include "app/cli/clitexts.h"
#include "app/cli/discoveryrecord.h"
#include "app/cli/stoppoint.h"
#include "app/cli/terminaltext.h"
#include "app/core/platformfiles.h"
#include "app/core/portremedy.h"
#include "app/core/sha256.h"
#include "protocol/constants.h"
#include "protocol/traceparser.h"

#include <system_error>

namespace {

// Why the server on the port was not taken, as a technician acts on it.
std::string NotFoundOnPortText(const TRunFacts& facts, const std::string& port,
                               const TStopPoint& stop, std::uint8_t lang)
{
    const TTraceVerdict& v = facts.Verdict;
    // Not even the probe's answer came: nothing answers on that port.
    if (v.Fault == TTraceFault::NoAnswer && v.Stage == TTraceStage::Probe)
        return CliText(cmSilentServer, lang, {port});
    if (v.Fault == TTraceFault::IdentMismatch)
        return CliText(cmWrongIdentification, lang, {port, ReadableIdText(facts.ServerId, true)});
    return CliText(cmNotFoundOn, lang, {port, stop.Text});
}

void Print(std::FILE* to, const std::string& line)
{
    WriteText(to, "srvdiag-cli: " + TerminalText(line) + "\n");
}

} // namespace

std::string ExplainCommandText(const std::string& tracePath, bool ownTrace)
{
    if (ownTrace)
        return "'srvdiag-cli explain'";
    const bool plain =
        tracePath.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                    "0123456789/._-:\\") == std::string::npos;
    return "'srvdiag-cli explain " + (plain ? tracePath : "\"" + tracePath + "\"") + "'";
}

TReadReport OutputRefusedReport(const TCliArgs& args, const std::string& reason)
{
    TReadReport report;
    report.ExitCode = ExitFileError;
    report.Outcome = "output-file-error";
    report.File = MessagePath(args.Output);
    // A folder that does not exist is named: the system's "No such file or directory" leaves
    // open which part of the name is missing.
    const std::filesystem::path folder = args.Output.parent_path();
    std::error_code failed;
    if (!folder.empty() && !std::filesystem::exists(folder, failed) && !failed)
        report.Message =
            CliText(cmNoOutputFolder, args.LangIndex, {report.File, MessagePath(folder)});
    else
        report.Message = CliText(cmCannotWrite, args.LangIndex, {report.File, reason});
    report.Stage = "output-file";
    return report;
}

TReadReport ConcludeReadOut(const TRunFacts& facts, const TCliArgs& args,
                            const TFileReplacement& dump, const TDiscoveryRecord& discovery,
                            const std::filesystem::path& tracePath)
{
    const std::uint8_t lang = args.LangIndex;
    TReadReport report;
    report.File = MessagePath(args.Output);
    report.ServerId = facts.ServerId;
    report.Port = TraceDevice(facts.Trace);
    report.ConnectTime = facts.ConnectTime;
    report.ReadTime = facts.ReadTime;
    report.TracePath = MessagePath(tracePath);
    report.TraceError = facts.TraceError;
    const TStopPoint stop = facts.Trace.empty() ? TStopPoint{} : StopPointOf(facts.Verdict, lang);
    report.Stage = stop.Stage;
    report.Block = stop.Block;

    // A read-out that could not be moved to its name stays in the new file, named here.
    std::string keptIn;
    const auto outputFailed = [&](const std::string& reason) {
        report.ExitCode = ExitFileError;
        report.Outcome = "output-file-error";
        report.Message = keptIn.empty()
                             ? CliText(cmCannotWrite, lang, {report.File, reason})
                             : CliText(cmCannotWriteKept, lang, {report.File, reason, keptIn});
        report.Stage = "output-file";
        report.Block.reset();
    };
    // Only a success, and an interrupted read-out with --partial, replace OUTPUT.
    const bool keep = facts.Code == ExitSuccess || (facts.Code == ExitInterrupted && args.Partial &&
                                                    facts.ReadOutRan && facts.DumpError.empty());
    std::string error;
    const bool kept = keep && CompleteFileReplacement(dump, error);
    // A complete read-out is never thrown away, also when the move is refused (in a sticky
    // folder, over another user's file).
    if (!keep)
        AbandonFileReplacement(dump);
    else if (!kept)
        keptIn = MessagePath(dump.Temporary);
    if (kept) {
        std::error_code ignored;
        const std::uintmax_t size = std::filesystem::file_size(dump.Target, ignored);
        report.Bytes = size == static_cast<std::uintmax_t>(-1) ? 0 : size;
        report.Sha256 = FileSha256Hex(dump.Target).value_or("");
    }

    switch (facts.Code) {
    case ExitSuccess:
        if (!kept) {
            outputFailed(error);
            break;
        }
        report.Outcome = "success";
        report.Message = CliText(cmDone, lang,
                                 {std::to_string(ReadOut::MemorySize), report.File, report.Sha256});
        report.Stage.clear();
        report.Block.reset();
        break;
    case ExitInterrupted:
        report.ExitCode = ExitInterrupted;
        report.Outcome = "interrupted";
        if (kept)
            report.Message =
                CliText(cmInterruptedPartial, lang, {std::to_string(report.Bytes), report.File});
        else if (keep)
            outputFailed(error);
        else if (dump.TargetExisted)
            report.Message = CliText(cmInterruptedKept, lang, {report.File});
        else
            report.Message = CliText(cmInterruptedNone, lang);
        break;
    case ExitFileError:
        outputFailed(facts.DumpError.empty() ? "cannot be written" : facts.DumpError);
        report.TraceDue = true;
        break;
    case ExitNotFound:
        report.TraceDue = true;
        if (!facts.RefusedPort.empty()) {
            report.ExitCode = ExitPortUnavailable;
            report.Outcome = "port-unavailable";
            report.Message =
                facts.PortBusy ? CliText(cmPortBusy, lang, {facts.RefusedPort, facts.RefusedReason})
                               : CliText(cmPortRefused, lang,
                                         {facts.RefusedPort, facts.RefusedReason,
                                          RefusedPortRemedyOn(facts.RefusedPort, lang)});
            report.Stage = "open";
            report.Block.reset();
            break;
        }
        report.ExitCode = ExitNotFound;
        report.Outcome = "server-not-found";
        if (facts.Trace.empty()) {
            report.Message = DiscoveryFailureText(discovery.Devices(), lang);
            report.Stage = "discovery";
            report.NothingExchanged = true;
        } else {
            report.Message = NotFoundOnPortText(facts, report.Port, stop, lang);
        }
        break;
    default:
        report.ExitCode = ExitCommError;
        report.Outcome = "communication-error";
        report.Message = CliText(cmCommunication, lang, {stop.Text});
        report.TraceDue = true;
        break;
    }
    return report;
}

void PrintReport(const TReadReport& report, const TCliArgs& args, std::FILE* err, std::FILE* out)
{
    if (!(report.ExitCode == 0 && args.Quiet))
        Print(err, report.Message);
    if (report.TraceDue && report.NothingExchanged && report.TraceError.empty())
        Print(err, CliText(cmNoTrace, args.LangIndex));
    else if (report.TraceDue)
        Print(err,
              report.TraceError.empty()
                  ? CliText(cmTraceWritten, args.LangIndex,
                            {report.TracePath, ExplainCommandText(report.TracePath, true)})
                  : CliText(cmTraceFailed, args.LangIndex, {report.TracePath, report.TraceError}));
    std::fflush(err);
    if (args.Json) {
        const std::string text = ReportJson(report) + "\n";
        WriteText(out, text);
        std::fflush(out);
    }
}

std::string ReportJson(const TReadReport& report)
{
    TJsonObject json;
    json.Add("schemaVersion", static_cast<std::int64_t>(ReportSchemaVersion));
    if (report.ReadOut != 0)
        json.Add("readOut", static_cast<std::int64_t>(report.ReadOut));
    json.Add("outcome", report.Outcome)
        .Add("exitCode", static_cast<std::int64_t>(report.ExitCode))
        .Add("message", report.Message)
        .Add("file", report.File)
        .Add("bytes", static_cast<std::int64_t>(report.Bytes));
    const auto addText = [&json](const char* name, const std::string& value) {
        if (value.empty())
            json.AddNull(name);
        else
            json.Add(name, value);
    };
    addText("sha256", report.Sha256);
    addText("identification", report.ServerId);
    addText("port", report.Port);
    json.Add("timings", TJsonObject()
                            .Add("connectMs", static_cast<std::int64_t>(report.ConnectTime.count()))
                            .Add("readMs", static_cast<std::int64_t>(report.ReadTime.count())));
    if (report.ExitCode != 0) {
        addText("stage", report.Stage);
        if (report.Block)
            json.Add("block", static_cast<std::int64_t>(*report.Block));
        else
            json.AddNull("block");
        if (report.TraceDue && report.TraceError.empty() && !report.NothingExchanged)
            json.Add("trace", report.TracePath);
        else
            json.AddNull("trace");
    }
    return json.Text();
}

std::string ReadableIdText(const std::string& idText, bool quoted)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < idText.size(); ++i) {
        const auto byte = static_cast<unsigned char>(idText[i]);
        if (i == 0 && byte == 0x11)
            continue;
        if (byte >= 0x20 && byte < 0x7F && !(quoted && byte == '"')) {
            text += static_cast<char>(byte);
        } else {
            text += "<0x";
            text += hex[byte >> 4];
            text += hex[byte & 0x0F];
            text += '>';
        }
    }
    return quoted ? "\"" + text + "\"" : text;
}
