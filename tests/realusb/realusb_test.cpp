// srvdiag-cli against the kernel's cdc_acm driver, with the server plugged in as a USB gadget
// (srvdiag-gadgetserver, inside the usbvm machine): what only a real USB stack shows. The line
// coding on the bus, a server that is pulled out in the middle, a replugged one, and the
// package's udev rule on a real device.

#include "app/cli/cliargs.h"
#include "tests/e2e/e2efiles.h"
#include "tests/e2e/e2eprocess.h"
#include "tests/e2e/e2etrace.h"
#include "tests/e2e/e2ex11.h"
#include "tools/serversim/simoptions.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::vector<std::string> Events(const std::string& record)
{
    std::vector<std::string> events;
    std::istringstream in(record);
    for (std::string line; std::getline(in, line);)
        events.push_back(line.substr(line.find(' ') + 1));
    return events;
}

std::string Unanswered(int byte)
{
    return "<" + std::to_string(byte) + "\r>-1\r";
}

// Waits until ready() holds, at most limit long. What it waits for happens in another machine's
// processes and its udev (a file written, a device node linked) with nothing to wait on from
// here, so it looks again every 100 ms of real time; the limits only end a hang.
bool Eventually(const std::function<bool()>& ready, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

class RealUsb : public ::testing::Test
{
protected:
    void SetUp() override { CopyProgram(SRVDIAG_CLI_BIN, Cli); }

    // The gadget server with the given options around a shell command; $CLI, $DUMP and $DIR
    // are set for it, $SRVDIAG_SERVER_TTY by the gadget server.
    TRunResult Serve(const std::vector<std::string>& serverOptions, const std::string& script)
    {
        std::vector<std::string> argv{VIRTUALSERVER_BIN, "--bus", Bus};
        argv.insert(argv.end(), serverOptions.begin(), serverOptions.end());
        argv.insert(argv.end(), {"--", "/bin/sh", "-c", script});
        return RunProgram(argv, {"CLI=" + Cli, "DUMP=" + Dump, "DIR=" + Dir.Path()}, 120s);
    }

    std::optional<std::string> Trace() const { return ReadFileIfExists(Cli + ".ERR"); }

    TTempDir Dir;
    const std::string Cli = Dir.Path() + "/srvdiag-cli";
    const std::string Dump = Dir.Path() + "/out.DMP";
    const std::string Bus = Dir.Path() + "/bus";
};

TEST_F(RealUsb, LineIsSetTo9600With8DataBitsNoParityAnd2StopBitsBeforeTheFirstByte)
{
    const TRunResult run = Serve({}, "\"$CLI\" \"$DUMP\"");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    const std::vector<std::string> events = Events(ReadFile(Bus));
    const auto write = std::find(events.begin(), events.end(), "write");
    ASSERT_NE(write, events.end()) << ReadFile(Bus);
    const auto coding =
        std::find_if(std::make_reverse_iterator(write), events.rend(),
                     [](const std::string& e) { return e.rfind("coding", 0) == 0; });
    ASSERT_NE(coding, events.rend()) << ReadFile(Bus);
    EXPECT_EQ(*coding, "coding 9600 8N2") << ReadFile(Bus);
    EXPECT_EQ(events.back(), "close") << "the port is closed at the end\n" << ReadFile(Bus);
}

TEST_F(RealUsb, SilentServerIsNotFoundAfterSixUnansweredBytes)
{
    const TRunResult run = Serve({"--silent"}, "\"$CLI\" \"$DUMP\"");
    EXPECT_EQ(run.ExitCode, 2) << run.Errors;
    EXPECT_EQ(run.Errors.rfind("srvdiag-cli: server not found on /dev/ttyACM0: ", 0), 0u)
        << run.Errors;
    EXPECT_EQ(Trace(), "USB/dev/ttyACM0\r" + Unanswered(0) + Unanswered(0) + Unanswered(0) +
                           Unanswered(0) + Unanswered(0) + Unanswered(128));
    EXPECT_FALSE(ReadFileIfExists(Dump));
}

// The server is pulled out on receiving its eighth byte (the second of the identification
// characters' requests): bring-up fails as for a missing server, and at once.
TEST_F(RealUsb, UnplugDuringIdentificationEndsAtOnceAsServerNotFound)
{
    const auto start = std::chrono::steady_clock::now();
    const TRunResult run = Serve({"--hangup-after", "8"}, "\"$CLI\" \"$DUMP\"");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s) << "no hang";
    EXPECT_EQ(run.ExitCode, 2) << run.Output;
    const std::string trace = Trace().value_or("");
    // Seven answered exchanges (probe, wake, three identification steps, two characters), then
    // the eighth byte went out and its answer never came.
    std::string full = ConnectTrace(DefaultIdentification()), sent;
    for (std::size_t at = 0, entries = 0; entries < 16; ++entries)
        sent = full.substr(0, at = full.find('\r', at) + 1);
    ASSERT_EQ(trace.substr(0, sent.size()), sent) << trace;
    EXPECT_EQ(trace.substr(sent.size()), ">-1\r") << trace.substr(sent.size());
    EXPECT_FALSE(ReadFileIfExists(Dump));
}

TEST_F(RealUsb, UnplugDuringTheReadOutEndsAtOnceAsACommunicationError)
{
    WriteFile(Dump, "an earlier dump");
    const auto start = std::chrono::steady_clock::now();
    const TRunResult run = Serve({"--fault", "hangup", "--block", "50"}, "\"$CLI\" \"$DUMP\"");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s) << "no hang";
    EXPECT_EQ(run.ExitCode, 3) << run.Output;
    EXPECT_EQ(ReadFile(Dump), "an earlier dump");
    const std::string trace = Trace().value_or("");
    const std::string expected = ReadOutTrace(50) + BlockRequestEntry(50);
    EXPECT_EQ(trace.substr(0, expected.size()), expected);
    EXPECT_EQ(trace.substr(expected.size()), "!") << trace.substr(expected.size());
    const std::vector<std::string> events = Events(ReadFile(Bus));
    EXPECT_NE(std::find(events.begin(), events.end(), "gone"), events.end())
        << "the device left the bus with the port open\n"
        << ReadFile(Bus);
}

// Unplugged during the read-out and plugged in again a second later: the first read-out fails,
// the second finds the new device and reads it whole.
TEST_F(RealUsb, ReplugGivesANewDeviceThatReadsOutInFull)
{
    const TRunResult run = Serve({"--fault", "hangup", "--block", "50", "--replug-after", "1000"},
                                 R"sh("$CLI" "$DIR/first.DMP"; echo "first $?"
i=0
while [ -e "$SRVDIAG_SERVER_TTY" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i+1)); done
i=0
while ! ls /dev/serial/by-id/*Server* >/dev/null 2>&1 && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done
udevadm settle
echo "node $(ls /dev/ttyACM*)"
"$CLI" "$DUMP"; echo "second $?")sh");
    EXPECT_NE(run.Output.find("first 3\n"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("second 0\n"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("node /dev/ttyACM0\n"), std::string::npos)
        << "the old node was released\n"
        << run.Output;
    EXPECT_EQ(ReadFile(Dump), PatternImage());
    EXPECT_FALSE(ReadFileIfExists(Dir.Path() + "/first.DMP"));
}

// The rule installed in the machine (usbvm --udev-rule) on the real device: ModemManager is
// told to leave the device, its interface and its tty alone, and the tty is tagged for the
// local seat's user.
TEST_F(RealUsb, PackageUdevRuleMarksTheRealDeviceItsInterfaceAndItsTty)
{
    const TRunResult run = Serve({}, R"sh(tty=$(udevadm info -q path -n "$SRVDIAG_SERVER_TTY")
for p in "$tty" "${tty%/tty/*}" "${tty%/*:*/tty/*}"; do
    echo "== $p"; udevadm info -q property -p "$p" | grep -E '^(DEVTYPE|SUBSYSTEM|ID_MM_|TAGS|CURRENT_TAGS)'
done)sh");
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    std::istringstream in(run.Output);
    std::vector<std::string> sections;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("== ", 0) == 0)
            sections.emplace_back();
        else if (!sections.empty())
            sections.back() += line + "\n";
    }
    ASSERT_EQ(sections.size(), 3u) << run.Output;
    for (const std::string& section : sections) {
        EXPECT_NE(section.find("ID_MM_DEVICE_IGNORE=1\n"), std::string::npos) << section;
        EXPECT_NE(section.find("ID_MM_PORT_IGNORE=1\n"), std::string::npos) << section;
    }
    EXPECT_NE(sections[0].find("SUBSYSTEM=tty\n"), std::string::npos) << sections[0];
    EXPECT_NE(sections[0].find("CURRENT_TAGS="), std::string::npos) << sections[0];
    EXPECT_NE(sections[0].find(":uaccess:"), std::string::npos) << sections[0];
    EXPECT_NE(sections[1].find("DEVTYPE=usb_interface\n"), std::string::npos) << sections[1];
    EXPECT_NE(sections[2].find("DEVTYPE=usb_device\n"), std::string::npos) << sections[2];
}

// The user at the local seat, as logind tells udev's uaccess builtin through its seat file (no
// logind runs in the machine): the unprivileged user nobody.
class TSeat
{
public:
    TSeat()
    {
        std::filesystem::create_directories(Dir);
        WriteFile(Dir + "/seat0", "ACTIVE=c1\nACTIVE_UID=65534\n");
    }
    ~TSeat()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Dir, ignored);
    }
    TSeat(const TSeat&) = delete;
    TSeat& operator=(const TSeat&) = delete;

private:
    const std::string Dir = "/run/systemd/seats";
};

// The uaccess tag lets the user at the seat open the port: without a seat user nobody cannot,
// as the seat's user nobody reads the server out in full.
TEST_F(RealUsb, UserAtTheSeatReadsTheServerOutWithoutPrivileges)
{
    std::filesystem::permissions(Dir.Path(), std::filesystem::perms::all);
    const std::string asNobody =
        R"sh(setpriv --reuid=65534 --regid=65534 --clear-groups -- "$CLI" "$DUMP")sh";
    const TRunResult refused = Serve({}, asNobody);
    EXPECT_EQ(refused.ExitCode, ExitPortUnavailable) << "no seat user, no access\n"
                                                     << refused.Output;
    // The remedy knows that the rule is installed, that it serves only the seat's user, and
    // names the group that owns the node.
    EXPECT_NE(refused.Errors.find("; the package's udev rule gives access only to the user at the "
                                  "local seat (not over SSH): add yourself to the group "),
              std::string::npos)
        << refused.Errors;
    EXPECT_FALSE(ReadFileIfExists(Dump));

    const TSeat seat;
    const TRunResult run = Serve({}, asNobody);
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    EXPECT_EQ(ReadFile(Dump), PatternImage());
}

// The wizard holds the port open on its failure page, so a server replugged meanwhile is given a
// new node by cdc_acm (the old one lives on until its last close); the retry from that page
// closes the old port, finds the server under the new node and reads it whole.
TEST(RealUsbWizard, ServerRepluggedWhileTheFailurePageHoldsThePortIsReadUnderItsNewNode)
{
    TTempDir dir;
    const std::string program = dir.Path() + "/srvdiag";
    const std::string dump = dir.Path() + "/out.DMP";
    CopyProgram(SRVDIAG_BIN, program);
    TXServer x;
    TProcess app({VIRTUALSERVER_BIN, "--fault", "hangup", "--block", "50", "--replug-after", "1000",
                  "--", program},
                 x.Env());
    const std::string artifacts = std::string(E2E_ARTIFACTS) + "/WizardReplug";
    TWizardWindow window(x, artifacts);
    std::string page = window.WaitForNewPage("");
    window.Keys({"Return"}); // language
    page = window.WaitForNewPage(page);
    window.Type(dump);
    page = window.WaitForNewPage(page);
    window.Keys({"Return"}); // output file
    page = window.WaitForNewPage(page);
    window.Keys({"Return"}); // options
    const std::string connect = window.WaitForNewPage(page);
    window.Keys({"Return"}); // connect instruction

    ASSERT_TRUE(Eventually([&] { return ReadFileIfExists(program + ".ERR").has_value(); }, 90s))
        << "no trace after the unplug";
    page = window.WaitForNewPage(connect); // the communication error page, shown after the trace
    EXPECT_EQ(ReadFile(program + ".ERR"), ReadOutTrace(50) + BlockRequestEntry(50) + "!");
    window.Save(page, "10-communication-error");
    EXPECT_FALSE(TWizardWindow::ProgressBarShown(page));
    // A new node while the old one is held: udev links the server's name to ttyACM1.
    ASSERT_TRUE(Eventually(
        [] {
            return std::system(
                       R"sh([ "$(readlink -f /dev/serial/by-id/*Server*)" = /dev/ttyACM1 ])sh") ==
                   0;
        },
        60s))
        << "the server did not come back as /dev/ttyACM1";
    EXPECT_EQ(std::system("udevadm settle"), 0);

    window.Keys({"Return"}); // Next: the connect instruction, which closes the old port
    page = window.WaitForNewPage(page);
    window.Keys({"Return"});
    EXPECT_TRUE(Eventually([&] { return ReadFile(dump) == PatternImage(); }, 90s));
    page = window.WaitForNewPage(page);
    window.Save(page, "07-success");
    EXPECT_FALSE(std::filesystem::exists("/dev/ttyACM0")) << "the old node went with its port";
    window.Keys({"Return"}); // Next on the success page closes the window
    EXPECT_EQ(app.WaitFor(60s), 0);
}

} // namespace
