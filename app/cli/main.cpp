// srvdiag-cli: reads a server's memory from the terminal, with the same worker, stages, texts
// and trace file as the wizard.

#include "app/cli/cliargs.h"
#include "app/cli/cliargv.h"
#include "app/cli/clihost.h"
#include "app/cli/cliloop.h"
#include "app/filepaths.h"
#include "app/userfolders.h"
#include "worker/stages.h"

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

// Where the trace of a failed read-out is, or why there is none.
void ReportTrace(const std::string& path, const std::string& error)
{
    if (error.empty())
        std::fprintf(stderr, "srvdiag-cli: trace written to %s\n", path.c_str());
    else
        std::fprintf(stderr, "srvdiag-cli: trace could not be written to %s: %s\n", path.c_str(),
                     error.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    // Before any other thread: Ctrl+C is then taken by the loop alone, and a reader of the texts
    // that goes away cannot end the read-out.
    TCliLoop loop;

    const TCliParse parse = ParseCliArgs(ProgramArguments(argc, argv), PROJECT_VERSION);
    switch (parse.Action) {
    case TCliParse::caHelp:
    case TCliParse::caVersion:
        std::fputs(parse.Text.c_str(), stdout);
        return 0;
    case TCliParse::caError:
        std::fprintf(stderr, "srvdiag-cli: %s\nTry 'srvdiag-cli --help' for more information.\n",
                     parse.Text.c_str());
        return ExitUsage;
    case TCliParse::caRun:
        break;
    }

    // Trace file beside the program (srvdiag-cli.ERR), or in the user's data folder for an
    // installed copy; the settings file itself is never touched.
    const TFilePaths paths = ProgramFilePaths(RunningProgramPath(), "srvdiag-cli");
    TCliHost host(loop, parse.Args, MakeSystemStages(), paths.IniPath, paths.TracePath, stdout,
                  isatty(STDOUT_FILENO) != 0);

    const int code = loop.Run([&] { host.ServeWorker(); }, [&] { host.Interrupt(); });
    if (code >= 1 && code <= 3)
        ReportTrace(MessagePath(paths.TracePath), host.TraceFileError());
    return code;
}
