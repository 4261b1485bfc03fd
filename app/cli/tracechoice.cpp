#include "app/cli/tracechoice.h"

#include "app/cli/cliargv.h"
#include "app/cli/cliconsole.h"
#include "app/cli/terminaltext.h"
#include "app/core/filepaths.h"
#include "app/core/userfolders.h"

#include <algorithm>
#include <system_error>

namespace {

void AddOnce(std::vector<TTraceFile>& traces, const std::filesystem::path& path, bool window)
{
    const auto same = [&](const TTraceFile& t) { return t.Path == path; };
    if (!path.empty() && std::none_of(traces.begin(), traces.end(), same))
        traces.push_back({path, window});
}

} // namespace

std::vector<TTraceFile> TraceFilesBeside(const std::filesystem::path& cliProgram)
{
    // The window beside the command line has its name with the same extension (srvdiag,
    // srvdiag.exe).
    std::filesystem::path window = cliProgram.parent_path() / "srvdiag";
    window += cliProgram.extension();
    std::vector<TTraceFile> traces;
    AddOnce(traces, ProgramFilePaths(cliProgram, "srvdiag-cli").TracePath, false);
    AddOnce(traces, ProgramFilePaths(window, "srvdiag").TracePath, true);
    AddOnce(traces, UserDataFolder("srvdiag-cli") / TracePathFor(IniPathFor(cliProgram)).filename(),
            false);
    AddOnce(traces, UserDataFolder("srvdiag") / TracePathFor(IniPathFor(window)).filename(), true);
    return traces;
}

std::optional<TTraceFile> NewestTrace(const std::vector<TTraceFile>& traces)
{
    std::optional<TTraceFile> newest;
    std::filesystem::file_time_type newestTime;
    for (const TTraceFile& trace : traces) {
        std::error_code failed;
        if (!std::filesystem::is_regular_file(trace.Path, failed))
            continue;
        const auto time = std::filesystem::last_write_time(trace.Path, failed);
        if (failed)
            continue;
        if (!newest || time > newestTime) {
            newest = trace;
            newestTime = time;
        }
    }
    return newest;
}

std::filesystem::path ExplainTraceFor(const std::filesystem::path& given,
                                      const std::filesystem::path& cliProgram,
                                      const std::filesystem::path& fallback, std::uint8_t lang,
                                      std::FILE* err)
{
    if (!given.empty())
        return given;
    const std::optional<TTraceFile> newest = NewestTrace(TraceFilesBeside(cliProgram));
    if (!newest)
        return fallback;
    const bool nl = lang == 1;
    const std::string line =
        "srvdiag-cli: " +
        std::string(newest->Window ? (nl ? "de recentste trace, van het venster (srvdiag): "
                                         : "the most recent trace, the window's (srvdiag): ")
                                   : (nl ? "de recentste trace, van srvdiag-cli: "
                                         : "the most recent trace, srvdiag-cli's: ")) +
        MessagePath(newest->Path);
    WriteText(err, TerminalText(line) + "\n");
    std::fflush(err);
    return newest->Path;
}
