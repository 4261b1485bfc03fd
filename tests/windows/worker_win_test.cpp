// The worker's connect stage and read-out on Windows, end to end below the window: discovery
// through SetupAPI (the server registered in the prefix as "Server (COM5)"), the port on COM5,
// and the project's server simulator answering on the pty master in the host harness.
#include "fakeusbdevices.h"
#include "ptycontrol.h"
#include "tests/support/testhost.h"
#include "tools/serversim/simoptions.h"
#include "worker/devicelister.h"
#include "worker/serthread.h"
#include "worker/stages.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

struct WorkerOnCom5 : ::testing::Test
{
    void SetUp() override
    {
        ASSERT_EQ(ComMappingProblem(), "") << "COM5 is not the harness's pty: nothing is opened";
        Master = std::make_unique<TPtyControl>();
        ASSERT_TRUE(RegisterDevices({{"VID_04D8&PID_FE88", "1", "0100", "Server (COM5)"}}));
        Dir = fs::temp_directory_path() /
              ("srvdiag_worker_" + std::to_string(GetCurrentProcessId()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(Dir);
        Dump = Dir / "memory.dmp";
        TraceFile = Dir / "srvdiag.ERR";
    }

    void TearDown() override
    {
        if (Worker) {
            Host->Close();
            Worker.reset();
        }
        Host.reset();
        RegisterDevices({});
        std::error_code ignored;
        fs::remove_all(Dir, ignored);
    }

    // Window and worker on the real stages, up to page 5 as the user goes.
    void Connect(const std::string& simOptions, bool shutdown = false)
    {
        Master->Serve(simOptions);
        Host = std::make_unique<TTestHost>((Dir / "srvdiag.INI").string());
        Worker = std::make_unique<TSerThread>(*Host, MakeSerialStages(MakeSystemDeviceLister()));
        Host->Attach(*Worker);
        Host->Start();
        ASSERT_TRUE(Host->ServeUntilParked());
        Host->Next();
        ASSERT_TRUE(Host->ServeUntilParked());
        Host->SetFileName(Dump.string());
        Host->Next();
        ASSERT_TRUE(Host->ServeUntilParked());
        Host->Shutdown = shutdown;
        Host->Next();
        ASSERT_TRUE(Host->ServeUntilParked());
        ASSERT_EQ(Host->Page(), 4);
        Host->Next();
        ASSERT_TRUE(Host->Serve(
            [this] { return Worker->Suspended() && Host->Page() != 5 && Host->Page() != 6; },
            std::chrono::seconds(60)));
    }

    std::unique_ptr<TPtyControl> Master;
    fs::path Dir, Dump, TraceFile;
    std::unique_ptr<TTestHost> Host;
    std::unique_ptr<TSerThread> Worker;
};

TEST_F(WorkerOnCom5, FullReadOutWithShutdownWritesTheImage)
{
    Connect("", true);
    EXPECT_EQ(Host->Page(), 7);
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    EXPECT_EQ(Master->Served(), "129 128 1"); // the shutdown frame and 128 block requests
    EXPECT_FALSE(fs::exists(TraceFile));
}

TEST_F(WorkerOnCom5, BlockFailureKeepsTheOldDumpAndTracesTheWindowsDeviceName)
{
    std::ofstream(Dump, std::ios::binary) << "old";
    Connect("--fault silence --block 50");
    EXPECT_EQ(Host->Page(), 10);
    EXPECT_EQ(ReadFile(Dump), "old");
    const std::string trace = ReadFile(TraceFile);
    EXPECT_EQ(trace.rfind("USB\\\\.\\COM5\r<0\r>0\r", 0), 0u) << trace.substr(0, 40);
    EXPECT_NE(trace.find("\r<66 255 178 "), std::string::npos);
}

TEST_F(WorkerOnCom5, HangUpDuringTheReadOutFailsWithoutHanging)
{
    Connect("--fault hangup --block 10");
    EXPECT_EQ(Host->Page(), 10);
    EXPECT_FALSE(fs::exists(Dump));
    EXPECT_TRUE(fs::exists(TraceFile));
}

TEST_F(WorkerOnCom5, SilentServerIsNotFoundAfterSixReadTimeouts)
{
    Connect("--silent");
    EXPECT_EQ(Host->Page(), 9);
    std::string timeouts;
    for (int i = 0; i < 5; ++i)
        timeouts += "<0\r>-1\r";
    EXPECT_EQ(ReadFile(TraceFile), "USB\\\\.\\COM5\r" + timeouts + "<128\r>-1\r");
}

} // namespace
