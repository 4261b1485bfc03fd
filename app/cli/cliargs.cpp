#include "app/cli/cliargs.h"

#include "app/cli/cliargv.h"

#include <CLI/CLI.hpp>

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
    app.add_option("OUTPUT", outputs, "The dump file to write (1536 bytes).")->type_name("");

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
    if (outputs.size() != 1)
        result.Text = outputs.empty() ? "Missing OUTPUT." : "Only one OUTPUT may be given.";
    else if (outputs[0].empty())
        result.Text = "OUTPUT must not be empty.";
    else if (language != "en" && language != "nl")
        result.Text = "Unknown language '" + language + "': use en or nl.";
    else
        result.Action = TCliParse::caRun;
    if (result.Action == TCliParse::caRun) {
        result.Args.Output = ArgumentPath(outputs[0]);
        result.Args.Shutdown = shutdown;
        result.Args.LangIndex = language == "nl" ? 1 : 0;
    }
    return result;
}
