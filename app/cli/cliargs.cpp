#include "app/cli/cliargs.h"

#include "app/cli/argsuggest.h"
#include "app/cli/cliargv.h"
#include "app/cli/outputname.h"

#include <CLI/CLI.hpp>

namespace {

// Every option's names as typed: "--list", "-q".
void CollectOptionNames(const CLI::App& app, std::vector<std::string>& names)
{
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            names.push_back("-" + name);
    }
}

// A refusal the user can act on for arguments the parser did not take: the option meant for a
// mistyped one, the unit a number wants; empty when there is nothing better to say than the
// parser's own message.
std::string ArgumentAdvice(const std::vector<std::string>& arguments,
                           const std::vector<std::string>& known)
{
    if (const auto unknown = UnknownOption(arguments, known)) {
        const auto meant = NearestWord(*unknown, known);
        return "Unknown option " + *unknown + (meant ? ": did you mean " + *meant + "?" : ".");
    }
    if (const auto value = NonNumericValue(arguments, "--timeout"))
        return "--timeout wants a number of seconds from 1 to 86400, not '" + *value + "'.";
    if (const auto value = NonNumericValue(arguments, "--count"))
        return "--count wants a number of good read-outs from 1 on, not '" + *value + "'.";
    return "";
}

// CLI11's usage line shows OUTPUT as a list of many and leaves out the listing: the program's
// three forms instead, and OUTPUT as the single name it is.
std::string UsageLines(std::string help)
{
    const std::string usage = "Usage: srvdiag-cli [OPTIONS]";
    const std::string::size_type start = help.find(usage);
    if (start == std::string::npos)
        return help; // the explain command's own help
    const std::string::size_type end = help.find('\n', start);
    help.replace(start, end - start,
                 "Usage: srvdiag-cli [OPTIONS] OUTPUT\n"
                 "       srvdiag-cli --list [--identify] [--port PORT]\n"
                 "       srvdiag-cli explain [TRACE] [--json]");
    const std::string listed = "  OUTPUT ...";
    if (const auto at = help.find(listed); at != std::string::npos)
        help.replace(at, listed.size(), "  OUTPUT    ");
    return help;
}

void AddBatchOptions(CLI::App& app, TCliArgs& args)
{
    app.add_flag("--list", args.List,
                 "List every server present (port, USB path) instead of reading one.");
    app.add_flag("--identify", args.Identify,
                 "With --list: identify each server and show its identification text.");
    app.add_option("--port", args.Port,
                   "Read the server on this port instead of the first one found.")
        ->type_name("PORT");
    app.add_flag("--repeat", args.Repeat,
                 "Read one server after another: wait for one, read it, wait until it is "
                 "unplugged, and go on until Ctrl+C or --count.");
    app.add_flag("--wait", args.Wait, "Wait for a server to be plugged in.");
    app.add_option("--timeout", args.TimeoutSeconds,
                   "Give up waiting for a server after SECONDS (default: wait for ever).")
        ->type_name("SECONDS")
        ->check(CLI::Range(1U, 86400U).description(""));
    app.add_option("--count", args.Count, "With --repeat: stop after N good read-outs.")
        ->type_name("N")
        ->check(CLI::Range(1U, 1000000U).description(""));
}

// The batch options that do not go together; empty when they do.
std::string CheckBatchOptions(const TCliArgs& args)
{
    if (args.List && (args.Repeat || args.Wait))
        return "--list cannot be combined with --repeat or --wait.";
    if (args.Identify && !args.List)
        return "--identify needs --list.";
    if (args.Count != 0 && !args.Repeat)
        return "--count needs --repeat.";
    if (args.TimeoutSeconds != 0 && !args.Repeat && !args.Wait)
        return "--timeout needs --wait or --repeat.";
    if (args.List)
        return "";
    return OutputPatternProblem(args.Output, args.Repeat);
}

} // namespace

TCliParse ParseCliArgs(const std::vector<std::string>& arguments, const std::string& version,
                       std::size_t helpWidth)
{
    CLI::App app("Reads the memory of a server attached through USB and writes it to OUTPUT.",
                 "srvdiag-cli");
    app.footer(
        "Messages and progress go to standard error, the --json object to standard output.\n"
        "Exit status: 0 success, 1 output-file error, 2 server not found, 3 communication "
        "error, 4 port refused or busy, 64 bad arguments, 130 interrupted (Ctrl+C; 143 SIGTERM, "
        "129 SIGHUP).");
    bool showVersion = false;
    bool shutdown = false;
    std::string language = "en";
    std::vector<std::string> outputs;
    app.add_flag("--version", showVersion, "Displays version information.");
    app.add_flag("--shutdown", shutdown, "Shut the server down before reading.");
    CLI::Option* lang =
        app.add_option("--lang", language,
                       "Language of the texts: en or nl (default: nl when LC_ALL, LC_MESSAGES or "
                       "LANG starts with nl, else en).")
            ->type_name("en|nl");
    bool quiet = false;
    app.add_flag("-q,--quiet", quiet, "Print only errors: no progress, no success message.");
    bool json = false;
    app.add_flag("--json", json, "Print one JSON object with the outcome on standard output.");
    bool partial = false;
    app.add_flag("--partial", partial,
                 "On Ctrl+C during the read-out, write the blocks read so far to OUTPUT "
                 "(else OUTPUT is left as it was).");
    app.add_option("OUTPUT", outputs,
                   "The dump file to write (1536 bytes). {id}, {n} and {time} in its name are "
                   "replaced by the server's six identification characters, the number of the "
                   "read-out and the local time.")
        ->type_name("");
    TCliArgs batch;
    AddBatchOptions(app, batch);
    bool verbose = false;
    app.add_flag("-v,--verbose", verbose,
                 "Log every step on the line to stderr as it happens, decoded, with the "
                 "milliseconds since the start.");
    TExplainArgs explain;
    std::string explainTrace;
    CLI::App* explainCommand = app.add_subcommand(
        "explain", "Decode a trace file step by step and say what went wrong and what usually "
                   "causes it.");
    explainCommand
        ->add_option("TRACE", explainTrace,
                     "The trace file (default: the most recent trace of the window, srvdiag, "
                     "or of srvdiag-cli).")
        ->type_name("");
    explainCommand->add_flag("--json", explain.Json, "One JSON object on stdout instead of text.");
    explainCommand->fallthrough(); // --lang may also follow the subcommand
    explainCommand->footer("Exit status: 0 explained, 65 not a trace of this program, 66 the "
                           "file cannot be read, 64 bad arguments.");

    TCliParse result;
    // CLI11 takes the arguments after the program in reverse order.
    std::vector<std::string> rest(arguments.rbegin(), arguments.rend());
    if (!rest.empty())
        rest.pop_back();
    try {
        app.parse(rest);
    } catch (const CLI::CallForHelp&) {
        result.Action = TCliParse::caHelp;
        result.Text = WrapText(UsageLines(app.help()), helpWidth);
        return result;
    } catch (const CLI::ParseError& e) {
        std::vector<std::string> known;
        CollectOptionNames(app, known);
        CollectOptionNames(*explainCommand, known);
        const std::vector<std::string> given(arguments.begin() + (arguments.empty() ? 0 : 1),
                                             arguments.end());
        result.Action = TCliParse::caError;
        result.Text = ArgumentAdvice(given, known);
        if (result.Text.empty())
            result.Text = e.what();
        return result;
    }
    if (showVersion) {
        result.Action = TCliParse::caVersion;
        result.Text = "srvdiag-cli " + version + "\n";
        return result;
    }
    if (explainCommand->parsed()) {
        result.Action = TCliParse::caError;
        if (!outputs.empty())
            result.Text = "explain takes no OUTPUT.";
        else if (language != "en" && language != "nl")
            result.Text = "Unknown language '" + language + "': use en or nl.";
        else
            result.Action = TCliParse::caExplain;
        explain.Trace = ArgumentPath(explainTrace);
        result.Explain = explain;
        result.Args.LangIndex = language == "nl" ? 1 : 0;
        result.Args.LangGiven = lang->count() > 0;
        return result;
    }
    result.Action = TCliParse::caError;
    const bool listingWithOutput = batch.List && !outputs.empty();
    if (batch.List && outputs.empty())
        outputs.emplace_back(); // a listing does without OUTPUT
    if (listingWithOutput)
        result.Text = "--list takes no OUTPUT.";
    else if (outputs.size() != 1)
        result.Text = outputs.empty() ? "Missing OUTPUT." : "Only one OUTPUT may be given.";
    else if (outputs[0].empty() && !batch.List)
        result.Text = "OUTPUT must not be empty.";
    else if (const auto meant = CommandMeantByOutput(outputs[0]))
        // A mistyped command word must not start a read-out into a file of that name.
        result.Text = "'" + outputs[0] + "' is no command: did you mean " + *meant +
                      "? (To write a file of that name, give it as ./" + outputs[0] + ")";
    else if (language != "en" && language != "nl")
        result.Text = "Unknown language '" + language + "': use en or nl.";
    else {
        batch.Output = ArgumentPath(outputs[0]);
        result.Text = CheckBatchOptions(batch);
        if (result.Text.empty())
            result.Action = TCliParse::caRun;
    }
    if (result.Action == TCliParse::caRun) {
        result.Args = batch;
        result.Args.Shutdown = shutdown;
        result.Args.Verbose = verbose;
        result.Args.LangIndex = language == "nl" ? 1 : 0;
        result.Args.LangGiven = lang->count() > 0;
        result.Args.Quiet = quiet;
        result.Args.Json = json;
        result.Args.Partial = partial;
    }
    return result;
}
