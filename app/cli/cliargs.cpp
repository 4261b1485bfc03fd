#include "app/cli/cliargs.h"

#include "app/cli/outputname.h"

#include <CLI/CLI.hpp>

namespace {

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
        ->check(CLI::Range(1U, 86400U));
    app.add_option("--count", args.Count, "With --repeat: stop after N good read-outs.")
        ->type_name("N")
        ->check(CLI::Range(1U, 1000000U));
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

TCliParse ParseCliArgs(const std::vector<std::string>& arguments, const std::string& version)
{
    CLI::App app("Reads the memory of a server attached through USB and writes it to OUTPUT.",
                 "srvdiag-cli");
    app.footer("Exit status: 0 success, 1 output-file error, 2 server not found, 3 communication "
               "error, 130 interrupted (Ctrl+C), 64 bad arguments.");
    bool showVersion = false;
    bool shutdown = false;
    std::string language = "en";
    std::vector<std::string> outputs;
    app.add_flag("-v,--version", showVersion, "Displays version information.");
    app.add_flag("--shutdown", shutdown, "Shut the server down before reading.");
    app.add_option("--lang", language, "Language of the texts: en or nl (default en).")
        ->type_name("en|nl");
    app.add_option("OUTPUT", outputs,
                   "The dump file to write (1536 bytes). {id}, {n} and {time} in its name are "
                   "replaced by the server's six identification characters, the number of the "
                   "read-out and the local time.")
        ->type_name("");
    TCliArgs batch;
    AddBatchOptions(app, batch);

    TCliParse result;
    // CLI11 takes the arguments after the program in reverse order.
    std::vector<std::string> rest(arguments.rbegin(), arguments.rend());
    if (!rest.empty())
        rest.pop_back();
    try {
        app.parse(rest);
    } catch (const CLI::CallForHelp&) {
        result.Action = TCliParse::caHelp;
        result.Text = app.help();
        return result;
    } catch (const CLI::ExtrasError& e) {
        result.Action = TCliParse::caError;
        result.Text = e.what();
        return result;
    } catch (const CLI::ParseError& e) {
        result.Action = TCliParse::caError;
        result.Text = e.what();
        return result;
    }
    if (showVersion) {
        result.Action = TCliParse::caVersion;
        result.Text = "srvdiag-cli " + version + "\n";
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
    else if (language != "en" && language != "nl")
        result.Text = "Unknown language '" + language + "': use en or nl.";
    else {
        batch.Output = outputs[0];
        result.Text = CheckBatchOptions(batch);
        if (result.Text.empty())
            result.Action = TCliParse::caRun;
    }
    if (result.Action == TCliParse::caRun) {
        result.Args = batch;
        result.Args.Shutdown = shutdown;
        result.Args.LangIndex = language == "nl" ? 1 : 0;
    }
    return result;
}
