// srvdiag-cli: reads a server's memory from the terminal, with the same worker, stages and trace
// file as the wizard, and reports the outcome in its own words.

#include "app/cli/cliargs.h"
#include "app/cli/cliargv.h"
#include "app/cli/clibatch.h"
#include "app/cli/cliconsole.h"
#include "app/cli/cliloop.h"
#include "app/cli/clitexts.h"
#include "app/cli/explaincommand.h"
#include "app/cli/terminaltext.h"
#include "app/cli/tracechoice.h"
#include "app/core/dllsearch.h"
#include "app/core/filepaths.h"
#include "app/core/userfolders.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    // Before anything loads a DLL by name.
    RestrictDllSearch();
    // Before any other thread: Ctrl+C is then taken by the loop alone, and a reader of the texts
    // that goes away cannot end the read-out.
    TCliLoop loop;

    // Help is wrapped at the terminal's width, and at 80 columns where it is read elsewhere.
    const std::size_t columns = StandardOutputColumns();
    TCliParse parse =
        ParseCliArgs(ProgramArguments(argc, argv), PROJECT_VERSION, columns != 0 ? columns : 80);
    switch (parse.Action) {
    case TCliParse::caHelp:
    case TCliParse::caVersion:
        WriteText(stdout, parse.Text);
        return ExitSuccess;
    case TCliParse::caError:
        WriteText(stderr, "srvdiag-cli: " + TerminalText(parse.Text) +
                              "\nTry 'srvdiag-cli --help' for more information.\n");
        return ExitUsage;
    case TCliParse::caExplain:
    case TCliParse::caRun:
        break;
    }
    TCliArgs& args = parse.Args;
    if (!args.LangGiven)
        args.LangIndex = LanguageFromLocale(EnvironmentValue);

    // Trace file beside the program (srvdiag-cli.ERR), or in the user's data folder for an
    // installed copy; the settings file itself is never touched.
    const TFilePaths paths = ProgramFilePaths(RunningProgramPath(), "srvdiag-cli");
    if (parse.Action == TCliParse::caExplain)
        return RunExplain(ExplainTraceFor(parse.Explain.Trace, RunningProgramPath(),
                                          paths.TracePath, args.LangIndex, stderr),
                          parse.Explain.Json, args.LangIndex, stdout, stderr);

    // One read-out, a listing, or read-outs one after another (the batch reports each).
    TCliBatch batch(loop, args, paths.TracePath, StandardErrorIsTerminal());
    return loop.Run([&] { batch.OnWake(); }, [&] { batch.OnInterrupt(); });
}
