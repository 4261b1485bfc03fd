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
#include "protocol/constants.h"
#include "protocol/traceparser.h"

#include <system_error>

namespace {

void Print(std::FILE* to, const std::string& line)
{
    WriteText(to, "srvdiag-cli: " + TerminalText(line) + "\n");
}

} // namespace

TReadReport OutputRefusedReport(const TCliArgs& args, const std::string& reason)
{
    TReadReport report;
    report.ExitCode = ExitFileError;
    report.Outcome = "output-file-error";
    report.File = MessagePath(args.Output);
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
    if (!keep)
        AbandonFileReplacement(dump);
    else if (!kept)
        keptIn = MessagePath(dump.Temporary); // never thrown away (a sticky folder refuses the
                                              // move over another user's file)
    if (kept) {
        std::error_code ignored;
        const std::uintmax_t size = std::filesystem::file_size(dump.Target, ignored);
        report.Bytes = size == static_cast<std::uintmax_t>(-1) ? 0 : size;
    }

    switch (facts.Code) {
    case ExitSuccess:
        if (!kept) {
            outputFailed(error);
            break;
        }
        report.Outcome = "success";
        report.Message = CliText(cmDone, lang, {std::to_string(ReadOut::MemorySize), report.File});
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
            report.Message = CliText(facts.PortBusy ? cmPortBusy : cmPortRefused, lang,
                                     {facts.RefusedPort, facts.RefusedReason});
            report.Stage = "open";
            report.Block.reset();
            break;
        }
        report.ExitCode = ExitNotFound;
        report.Outcome = "server-not-found";
        if (facts.Trace.empty()) {
            report.Message = DiscoveryFailureText(discovery.Devices(), lang);
            report.Stage = "discovery";
        } else {
            report.Message = CliText(cmNotFoundOn, lang, {report.Port, stop.Text});
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
    if (report.TraceDue)
        Print(err,
              report.TraceError.empty()
                  ? CliText(cmTraceWritten, args.LangIndex, {report.TracePath})
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
        if (report.TraceDue && report.TraceError.empty())
            json.Add("trace", report.TracePath);
        else
            json.AddNull("trace");
    }
    return json.Text();
}
