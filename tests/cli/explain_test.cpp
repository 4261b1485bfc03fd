// srvdiag-cli explain on files: the text and JSON forms, and the files it must refuse.

#include "app/cli/explaincommand.h"
#include "tests/e2e/e2etrace.h"
#include "tests/support/scratchdir.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

const std::string Ident = std::string("\x11") + "VADOZIROZA4711[Z";

std::string Connected()
{
    return ConnectTrace(Ident) + LinkCheckTrace(false);
}

std::string ReadBack(std::FILE* file)
{
    std::rewind(file);
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

struct TRun
{
    int Code = -1;
    std::string Out, Err;
};

class Explain : public ::testing::Test
{
protected:
    fs::path Write(const std::string& name, const std::string& content) const
    {
        const fs::path path = Dir / name;
        WriteFile(path, content);
        return path;
    }

    static TRun Run(const fs::path& path, bool json, std::uint8_t lang = 0)
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        TRun run;
        run.Code = RunExplain(path, json, lang, out, err);
        run.Out = ReadBack(out);
        run.Err = ReadBack(err);
        std::fclose(out);
        std::fclose(err);
        return run;
    }

    const TScratchDir Scratch;
    const fs::path& Dir = Scratch.Path();
};

} // namespace

TEST_F(Explain, TellsEachStepThenTheResultAndItsCause)
{
    std::string trace = Connected();
    for (int block = 0; block < 3; ++block)
        trace += BlockTrace(block, std::string(1536, '\0'));
    trace += BlockRequestEntry(3) + "!";
    const TRun run = Run(Write("srvdiag-cli.ERR", trace), false);
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_EQ(run.Out.substr(0, 32), "    1  attempt on /dev/ttyACM0\n ");
    EXPECT_NE(run.Out.find("\n   55  block 3: no complete answer within the read timeout\n"
                           "Server identification: VADOZIROZA4711[Z\n"
                           "Blocks read: 3 of 128\n"
                           "Result: no answer to block 3\n"
                           "Cause: The server stopped answering"),
              std::string::npos)
        << run.Out;

    const TRun dutch = Run(Write("nl.ERR", trace), false, 1);
    EXPECT_NE(dutch.Out.find("Resultaat: geen antwoord op blok 3\nOorzaak: "), std::string::npos);
}

TEST_F(Explain, JsonHoldsTheVerdictAndEveryStep)
{
    const TRun run = Run(Write("t.ERR", Connected() + "<1 4 134 \r>1 3 21 \r"), true);
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out.rfind("{\"trace\":\"", 0), 0u) << run.Out;
    for (const char* part :
         {"\"device\":\"/dev/ttyACM0\"", "\"identification\":\"\\u0011VADOZIROZA4711[Z\"",
          "\"complete\":false", "\"stage\":\"shutdown\"", "\"step\":null", "\"block\":null",
          "\"fault\":\"shutdown-refused\"", "\"expected\":7", "\"received\":21",
          "\"blocks_read\":0", "\"text\":\"server refused the shutdown command\"",
          "{\"entry\":1,\"stage\":\"port\",\"step\":null,\"block\":null,\"ok\":true,"
          "\"text\":\"attempt on /dev/ttyACM0\"}"})
        EXPECT_NE(run.Out.find(part), std::string::npos) << part << "\n" << run.Out;
    EXPECT_EQ(run.Out.substr(run.Out.size() - 5), "\"}]}\n");
    EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 1);
}

TEST_F(Explain, AnEmptyTraceMeansNoServerWasFound)
{
    const TRun run = Run(Write("empty.ERR", ""), false);
    EXPECT_EQ(run.Code, 0);
    EXPECT_EQ(run.Out.substr(0, 21), "The trace is empty.\nR");
    EXPECT_NE(run.Out.find("Result: no server was found, nothing was exchanged\n"),
              std::string::npos);
}

TEST_F(Explain, FilesThatAreNoTraceAreRefusedWithTheirReason)
{
    fs::create_directory(Dir / "folder.ERR");
    const struct
    {
        fs::path Path;
        int Code;
        const char* Says;
    } cases[] = {
        {Dir / "missing.ERR", ExitNoTrace, "does not exist"},
        {Dir / "folder.ERR", ExitNoTrace, "is a folder"},
        {Write("huge.ERR", std::string((1 << 22) + 1, 'x')), ExitNoTrace, "too large"},
        {Write("dump.DMP", std::string(1536, '\xA5')), ExitNotATrace, "is not a trace"},
        {Write("cut.ERR", Connected() + "<66 255 1"), ExitNotATrace, "ends inside an entry"},
        {Write("other.ERR", "USB/dev/x\r<7\r>0\r"), ExitNotATrace, "entry 2: byte 0x07 sent"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.string());
        const TRun text = Run(c.Path, false);
        EXPECT_EQ(text.Code, c.Code);
        EXPECT_EQ(text.Out, "");
        EXPECT_EQ(text.Err.rfind("srvdiag-cli: " + c.Path.string(), 0), 0u) << text.Err;
        EXPECT_NE(text.Err.find(c.Says), std::string::npos) << text.Err;
        const TRun json = Run(c.Path, true);
        EXPECT_EQ(json.Code, c.Code);
        EXPECT_NE(json.Out.find("\"error\":\""), std::string::npos) << json.Out;
    }
}
