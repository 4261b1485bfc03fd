// Fuzz target: the trace walk behind srvdiag-cli explain and -v. Any bytes are a file someone
// may hand to explain. Beyond no crash and no sanitizer report, it checks that the walk fed in
// two pieces, split anywhere, decodes as the whole, and that the JSON form is plain ASCII.

#include "app/cli/explaincommand.h"
#include "app/cli/verdicttexts.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string trace(reinterpret_cast<const char*>(data), size);
    const TTraceWalk whole = WalkTrace(trace);

    TTraceWalker walker;
    const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
    std::vector<TTraceStep> steps = walker.Feed(trace.substr(0, split));
    for (TTraceStep& step : walker.Feed(trace.substr(split)))
        steps.push_back(std::move(step));
    for (TTraceStep& step : walker.Finish())
        steps.push_back(std::move(step));
    if (walker.Error() != whole.Error)
        Fail("a split record is judged otherwise");
    if (!whole.Error) {
        if (steps.size() != whole.Steps.size())
            Fail("a split record has other steps");
        for (std::size_t i = 0; i < steps.size(); ++i)
            if (steps[i].Text != whole.Steps[i].Text)
                Fail("a split record decodes otherwise");
        if (walker.Verdict().Fault != whole.Verdict.Fault ||
            walker.Verdict().Stage != whole.Verdict.Stage)
            Fail("a split record has another verdict");
    }

    for (std::uint8_t lang = 0; lang < 2; ++lang) {
        const std::string text = ExplainText(whole, lang);
        const std::string json = ExplainJson(whole, "t.ERR", lang);
        for (char c : json)
            if (static_cast<unsigned char>(c) >= 0x7F ||
                (static_cast<unsigned char>(c) < 0x20 && c != '\n'))
                Fail("the JSON form holds a byte that is not plain ASCII");
        if (VerdictText(whole.Verdict, lang).empty() || text.empty())
            Fail("an empty explanation");
    }
    return 0;
}
