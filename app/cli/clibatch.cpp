#include "app/cli/clibatch.h"

#include "app/cli/batchtexts.h"
#include "app/cli/cliargv.h"
#include "app/cli/cliconsole.h"
#include "app/cli/clihost.h"
#include "app/cli/cliloop.h"
#include "app/cli/clireport.h"
#include "app/cli/clitexts.h"
#include "app/cli/outputname.h"
#include "app/cli/terminaltext.h"
#include "worker/devicelister.h"
#include "worker/stages.h"

#include <ctime>
#include <system_error>

namespace {

void PrintLine(std::FILE* stream, const std::string& line)
{
    WriteText(stream, TerminalText(line) + "\n");
    std::fflush(stream);
}

// The server a wait is for: the first one with a port (on --port, the first on that port).
std::optional<TServerEntry> ReadableServer(const std::vector<TServerEntry>& servers,
                                           const std::string& port)
{
    std::vector<TServerEntry> withPort;
    for (const TServerEntry& server : servers)
        if (!server.DevicePath.empty())
            withPort.push_back(server);
    return ChooseServer(withPort, port);
}

} // namespace

TCliBatch::TCliBatch(TCliLoop& loop, const TCliArgs& args, const std::filesystem::path& tracePath,
                     bool errTerminal)
    : Loop(loop), Args(args), Trace(tracePath), ErrTerminal(errTerminal)
{
    Loop.Post([this] { Begin(); });
}

TCliBatch::~TCliBatch()
{
    Watch.reset();
    Host.reset();
}

void TCliBatch::Begin()
{
    if (Args.Repeat) {
        // Found only after the first read-out, a missing folder would cost every server read.
        const std::filesystem::path folder = Args.Output.parent_path();
        std::error_code failed;
        if (!folder.empty() && !std::filesystem::is_directory(folder, failed)) {
            PrintLine(stderr, NoFolderText(folder, Args.LangIndex));
            End(ExitFileError);
            return;
        }
    }
    // {n} numbers on after the dumps an earlier run left, never over them.
    NumberBase = HighestRunPresent(Args.Output);
    if (Args.List)
        ListServersNow();
    else if (Args.Repeat || Args.Wait)
        WatchForServer();
    else
        StartRun(std::nullopt);
}

std::unique_ptr<TDeviceLister> TCliBatch::ListerFor(const std::string& port) const
{
    if (port.empty())
        return MakeSystemDeviceLister();
    return std::make_unique<TOnePortLister>(MakeSystemDeviceLister(), port);
}

void TCliBatch::OnWake()
{
    if (Host)
        Host->ServeWorker();
    if (Watch && Watch->Done())
        WatchDone();
}

void TCliBatch::OnInterrupt()
{
    // The terminal echoes ^C where the cursor stands: after a bar the host ends the bar's line,
    // anywhere else the message that follows needs a line of its own.
    if (ErrTerminal && !(Running && Host && Host->ProgressOnScreen()))
        PrintLine(stderr, "");
    if (Running && Host) {
        Host->Interrupt(); // the host ends, and with it the batch, with 130
        return;
    }
    End(Loop.InterruptedStatus());
}

void TCliBatch::End(int code)
{
    if (Ending)
        return;
    Ending = true;
    // A run of read-outs ends with its count, so that none of a long scroll goes unnoticed.
    if (Args.Repeat && RunNumber > 0 && !Args.Quiet)
        PrintLine(stderr, RepeatSummaryText(GoodRuns, FailedRuns, Args.LangIndex));
    Watch.reset();
    Loop.Quit(code);
}

// ---- Read-outs -----------------------------------------------------------------------------

void TCliBatch::StartRun(const std::optional<TServerEntry>& server)
{
    Host.reset(); // the last run's, with the record its discovery kept
    ++RunNumber;
    RunTime = FileNameTime(std::time(nullptr));
    Current = server;
    // The output is checked, and the file that will take the dump made beside it, before the
    // server is touched: a bad name must not cost a whole read-out. {id} is known only once the
    // server has identified itself; the new file is moved to its name at the end.
    const std::filesystem::path output =
        ExpandOutputName(Args.Output, "{id}", NumberBase + RunNumber, RunTime);
    std::string reason;
    Dump = BeginFileReplacement(output, reason);
    if (!Dump) {
        TCliArgs args = Args;
        args.Output = output;
        PrintReport(OutputRefusedReport(args, reason), args, stderr, stdout);
        End(ExitFileError);
        return;
    }
    // Without a choice the window's discovery runs as it is: the first matching server.
    const std::string port = server ? server->DevicePath : Args.Port;
    Discovery = std::make_unique<TDiscoveryRecord>();
    std::unique_ptr<TDeviceLister> lister =
        MakeRecordingLister(MakeSystemDeviceLister(), *Discovery);
    if (!port.empty())
        lister = std::make_unique<TOnePortLister>(std::move(lister), port);
    // With -v the log takes the terminal: a bar between its lines would be drawn anew after each.
    const bool progress = !Args.Quiet && !Args.Verbose && ErrTerminal;
    Host =
        std::make_unique<TCliHost>(Loop, Args, Dump->Temporary, MakeSerialStages(std::move(lister)),
                                   Trace, progress ? stderr : nullptr);
    TCliRunHooks hooks;
    if (Args.Repeat) {
        const std::filesystem::path pattern = Args.Output;
        const unsigned run = NumberBase + RunNumber;
        const std::string time = RunTime;
        hooks.TraceName = [pattern, run, time](const std::string& idText) {
            return TraceNameBeside(
                ExpandOutputName(pattern, IdPlaceholderValue(idText), run, time));
        };
    }
    hooks.Finished = [this](int code) { Loop.Post([this, code] { RunEnded(code); }); };
    // The dump goes into the new file through the descriptor made with it, never by its name.
    hooks.WriteDump = [dump = *Dump](const char* data, std::size_t count, std::string& error) {
        return WriteFileReplacement(dump, data, count, error);
    };
    Host->SetRunHooks(std::move(hooks));
    Running = true;
}

void TCliBatch::RunEnded(int /*code*/)
{
    Running = false;
    const TRunFacts& facts = Host->Facts();
    const std::string id = IdPlaceholderValue(facts.ServerId);
    TCliArgs args = Args;
    args.Output = ExpandOutputName(Args.Output, id, NumberBase + RunNumber, RunTime);
    TFileReplacement dump = *Dump;
    if (MessagePath(Args.Output.filename()).find("{id}") != std::string::npos) {
        // The name held {id}: the new file goes to the name the server's identification gave.
        std::error_code failed;
        dump.Target = args.Output;
        dump.TargetExisted = std::filesystem::exists(args.Output, failed);
    }
    const std::filesystem::path trace = Args.Repeat ? TraceNameBeside(args.Output) : Trace;
    TReadReport report = ConcludeReadOut(facts, args, dump, *Discovery, trace);
    if (report.ExitCode == ExitInterrupted)
        report.ExitCode = Loop.InterruptedStatus(); // SIGTERM and SIGHUP end as Ctrl+C does
    if (!Args.Port.empty() && !Current && report.ExitCode == ExitNotFound && facts.Trace.empty())
        report.Message =
            NoServerOnPortText(Args.Port,
                               ListServers(Discovery->Devices().value_or(std::vector<TUsbDevice>{}),
                                           *MakeSystemDeviceLister()),
                               Args.LangIndex);
    report.ReadOut = Args.Repeat ? RunNumber : 0;
    if (!Args.Repeat) {
        PrintReport(report, args, stderr, stdout);
        End(report.ExitCode);
        return;
    }
    // One line for the read-out, its trace in it; the JSON object keeps the trace's fields.
    TReadReport line = report;
    line.Message = RunPrefixText(NumberBase + RunNumber, id, Args.LangIndex) + report.Message;
    // An interrupted read-out leaves its trace too (the worker writes it after a Back in the
    // read-out): the line says where, so that no file beside the dumps goes unexplained.
    if (report.TraceDue && report.NothingExchanged && report.TraceError.empty())
        line.Message += "; " + CliText(cmNoTrace, Args.LangIndex);
    else if (report.TraceDue || (facts.Code == ExitInterrupted && facts.ReadOutRan))
        line.Message += "; " + TraceText(report.TracePath, report.TraceError, Args.LangIndex);
    line.TraceDue = false;
    TCliArgs lineArgs = args;
    lineArgs.Json = false;
    PrintReport(line, lineArgs, stderr, stdout);
    if (Args.Json) {
        const std::string json = ReportJson(report) + "\n";
        WriteText(stdout, json);
        std::fflush(stdout);
    }

    if (facts.Code == ExitInterrupted) {
        End(report.ExitCode);
        return;
    }
    LastCode = report.ExitCode;
    if (report.ExitCode == ExitSuccess)
        ++GoodRuns;
    else
        ++FailedRuns;
    if (Args.Count != 0 && GoodRuns >= Args.Count) {
        End(ExitSuccess);
        return;
    }
    WatchForUnplug();
}

// ---- Waiting for servers -------------------------------------------------------------------

void TCliBatch::WatchForServer()
{
    std::optional<TServerWatch::TClock::time_point> deadline;
    if (Args.TimeoutSeconds != 0)
        deadline = TServerWatch::TClock::now() + std::chrono::seconds(Args.TimeoutSeconds);
    if (ErrTerminal && !Args.Quiet)
        PrintLine(stderr, WaitingForServerText(Args.LangIndex));
    const std::string port = Args.Port;
    Watching = TWatching::ForServer;
    Watch = std::make_unique<TServerWatch>(
        MakeSystemDeviceLister(),
        [port](const std::vector<TServerEntry>& servers) {
            return ReadableServer(servers, port).has_value();
        },
        deadline, [this] { Loop.Wake(); });
}

void TCliBatch::WatchForUnplug()
{
    if (ErrTerminal && !Args.Quiet)
        PrintLine(stderr, WaitingForUnplugText(Args.LangIndex));
    const std::optional<TServerEntry> read = Current;
    Watching = TWatching::ForUnplug;
    Watch = std::make_unique<TServerWatch>(
        MakeSystemDeviceLister(),
        [read](const std::vector<TServerEntry>& servers) {
            for (const TServerEntry& server : servers)
                if (read && server.SameDevice(*read))
                    return false;
            return true;
        },
        std::nullopt, [this] { Loop.Wake(); });
}

void TCliBatch::WatchDone()
{
    const std::optional<std::vector<TServerEntry>> servers = Watch->Result();
    const TWatching watched = Watching;
    Watch.reset();
    Watching = TWatching::Nothing;
    if (Ending)
        return;
    if (watched == TWatching::ForUnplug) {
        WatchForServer();
        return;
    }
    if (!servers) {
        TReadReport report;
        const bool lastCounts = Args.Repeat && Args.Count == 0 && RunNumber > 0;
        report.ExitCode = lastCounts ? LastCode : ExitNotFound;
        report.Outcome = "server-not-found";
        report.Message = WaitTimedOutText(Args.TimeoutSeconds, Args.LangIndex);
        report.File = MessagePath(Args.Output);
        report.Stage = "discovery";
        TCliArgs args = Args;
        args.Quiet = false;
        if (lastCounts)
            args.Json = false; // the last read-out's object stands
        PrintReport(report, args, stderr, stdout);
        End(report.ExitCode);
        return;
    }
    StartRun(ReadableServer(*servers, Args.Port));
}

// ---- Listing -------------------------------------------------------------------------------

void TCliBatch::ListServersNow()
{
    const std::unique_ptr<TDeviceLister> lister = MakeSystemDeviceLister();
    const auto devices = lister->List();
    const std::vector<TServerEntry> present =
        ListServers(devices.value_or(std::vector<TUsbDevice>{}), *lister);
    for (const TServerEntry& server : present)
        if (Args.Port.empty() || NamesPort(Args.Port, server.DevicePath))
            Listed.push_back({server});
    if (Listed.empty()) {
        PrintLine(stderr, NoServerListedText(Args.Port, present, Args.LangIndex));
        End(ExitNotFound);
        return;
    }
    if (Args.Identify)
        for (std::size_t i = 0; i < Listed.size(); ++i)
            if (!Listed[i].Server.DevicePath.empty())
                ToIdentify.push_back(i);
    IdentifyNext();
}

void TCliBatch::IdentifyNext()
{
    if (ToIdentify.empty()) {
        PrintListing();
        End(ExitSuccess);
        return;
    }
    const TServerEntry& server = Listed[ToIdentify.front()].Server;
    Identifying = std::make_shared<TIdentifyResult>();
    TCliArgs args = Args;
    args.Output = "-"; // never written: identification reads no memory
    args.Json = false;
    Host.reset();
    Host = std::make_unique<TCliHost>(Loop, args, "-",
                                      MakeIdentifyStages(ListerFor(server.DevicePath), Identifying),
                                      Trace, nullptr);
    TCliRunHooks hooks;
    hooks.Finished = [this](int code) { Loop.Post([this, code] { IdentifyEnded(code); }); };
    Host->SetRunHooks(std::move(hooks));
    Running = true;
}

void TCliBatch::IdentifyEnded(int code)
{
    Running = false;
    if (code == ExitInterrupted) {
        End(Loop.InterruptedStatus());
        return;
    }
    TListedServer& listed = Listed[ToIdentify.front()];
    ToIdentify.pop_front();
    listed.Identified = true;
    listed.Accepted = Identifying->Accepted;
    listed.IdText = Identifying->IdText;
    IdentifyNext();
}

void TCliBatch::PrintListing()
{
    for (const TListedServer& server : Listed) {
        const std::string line = TerminalFields(ListLine(server, Args.LangIndex)) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
}
