// The port's behaviour above the platform, through the recording fake.
#include "fakeserialplatform.h"
#include "serial/comport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

struct FakePort : ::testing::Test
{
    FakePort()
    {
        auto platform = std::make_unique<TFakeSerialPlatform>();
        Fake = platform.get();
        // A device whose own settings differ from everything the port sends.
        Fake->DeviceSettings.BaudRate = 1200;
        Fake->DeviceSettings.ByteSize = 7;
        Fake->DeviceSettings.Parity = 2;
        Fake->DeviceSettings.StopBits = 0;
        Fake->DeviceSettings.Flags = 0xFFFF;
        Fake->DeviceSettings.XonChar = 1;
        Fake->DeviceSettings.XoffChar = 2;
        Fake->DeviceSettings.ErrorChar = 3;
        Fake->DeviceSettings.EofChar = 4;
        Fake->DeviceSettings.EvtChar = 5;
        Fake->DeviceSettings.XonLim = 6;
        Fake->DeviceSettings.XoffLim = 7;
        Port = std::make_unique<TComPort>(std::move(platform));
    }

    // The main window's stored settings.
    void ConfigureAsMainWindow()
    {
        Port->SetBaudRate(br9600);
        Port->SetDataBits(db8);
        Port->SetDeviceName("COM2");
        Port->FlowControl().SetDTR(dcDisable);
        Port->FlowControl().SetRTS(rcEnable);
        Port->FlowControl().SetXOnXOff(xcDisable);
        Port->SetParity(paNone);
        Port->SetPriorityClass(pcNormal);
        Port->SetStopBits(sb2);
    }

    std::int32_t CodeOf(const std::function<void()>& fn, std::string* message = nullptr)
    {
        try {
            fn();
        } catch (const EComError& e) {
            if (message)
                *message = e.what();
            return e.ErrorCode();
        }
        return -1;
    }

    TFakeSerialPlatform* Fake = nullptr;
    std::unique_ptr<TComPort> Port;
};

TEST_F(FakePort, MainWindowSettingsProduceExactlyTheExpectedLineSettings)
{
    ConfigureAsMainWindow();
    EXPECT_TRUE(Fake->Calls().empty()); // a closed port only stores
    Port->Open();

    const auto sets = Fake->SetSettings();
    ASSERT_EQ(sets.size(), 1U);
    const TLineSettings& s = sets[0];
    EXPECT_EQ(s.BaudRate, 9600U);
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.Parity, 0);
    EXPECT_EQ(s.StopBits, 2);
    EXPECT_EQ(s.Flags & DcbFlag::DtrControlMask, 0U);
    EXPECT_EQ(s.Flags & DcbFlag::RtsControlMask, 0x1000U);
    EXPECT_EQ(s.Flags & (DcbFlag::InX | DcbFlag::OutX), 0U);
    const std::uint32_t options = DcbFlag::Parity | DcbFlag::OutxCtsFlow | DcbFlag::OutxDsrFlow |
                                  DcbFlag::DsrSensitivity | DcbFlag::TXContinueOnXoff |
                                  DcbFlag::ErrorChar | DcbFlag::Null | DcbFlag::AbortOnError;
    EXPECT_EQ(s.Flags & options, 0U);
    EXPECT_EQ(s.Flags & DcbFlag::Binary, DcbFlag::Binary); // untouched device field
    EXPECT_EQ(s.XonLim, 0);
    EXPECT_EQ(s.XoffLim, 0);
    EXPECT_EQ(s.XonChar, 17);
    EXPECT_EQ(s.XoffChar, 19);
    EXPECT_EQ(s.ErrorChar, 0);
    EXPECT_EQ(s.EofChar, 0);
    EXPECT_EQ(s.EvtChar, 0);

    const std::vector<std::string> expected{"SaveProcessPriority",
                                            "SetProcessPriority",
                                            "Open COM2",
                                            "Purge 10",
                                            "Purge 5",
                                            "SetQueueSizes 4096 2048",
                                            "GetLineSettings",
                                            "SetLineSettings",
                                            "GetTimeouts",
                                            "SetTimeouts",
                                            "SetCommMask 0"};
    EXPECT_EQ(Fake->Calls(), expected);
    EXPECT_EQ(Fake->ProcessPriorities(), std::vector<TPriorityClass>{pcNormal});

    Port->Close();
    EXPECT_EQ(Fake->RestoredPriority(), 32);
    EXPECT_FALSE(Port->Active());
}

TEST_F(FakePort, DefaultValuesKeepTheDeviceSettings)
{
    Port->Open();
    const TLineSettings s = Fake->SetSettings().at(0);
    EXPECT_EQ(s.BaudRate, 1200U);
    EXPECT_EQ(s.ByteSize, 7);
    EXPECT_EQ(s.Parity, 2);
    EXPECT_EQ(s.StopBits, 0);
    EXPECT_EQ(s.Flags & (DcbFlag::DtrControlMask | DcbFlag::RtsControlMask | DcbFlag::InX |
                         DcbFlag::OutX),
              0x3330U);
    // Characters, limits and options are always written.
    EXPECT_EQ(s.XonChar, 17);
    EXPECT_EQ(s.XonLim, 0);
    EXPECT_EQ(s.Flags & DcbFlag::AbortOnError, 0U);
    // No priority change was asked for.
    EXPECT_TRUE(Fake->ProcessPriorities().empty());
}

TEST_F(FakePort, DtrThenRtsOnAnOpenPortReachTheDeviceAtOnceInThatOrder)
{
    ConfigureAsMainWindow();
    Port->Open();
    Port->FlowControl().SetDTR(dcEnable);
    Port->FlowControl().SetRTS(rcDisable);
    Port->FlowControl().SetRTS(rcDisable); // unchanged: nothing sent
    const std::vector<std::string> expected{"DTR 0", "RTS 1", "DTR 1", "RTS 0"};
    EXPECT_EQ(Fake->LineChanges(), expected);
    EXPECT_EQ(Fake->SetSettings().size(), 3U);
}

TEST_F(FakePort, TimeoutsAndSettingsChangedWhileOpenApplyAtOnce)
{
    Port->Open();
    Port->Timeouts().SetReadConstant(350);
    ASSERT_EQ(Fake->SetTimeoutsLog().size(), 2U);
    EXPECT_EQ(Fake->SetTimeoutsLog().back().ReadConstant, 350);
    Port->SetCustomBaudRate(31250);
    EXPECT_EQ(Port->BaudRate(), brCustom);
    EXPECT_EQ(Fake->SetSettings().back().BaudRate, 31250U);
    Port->SetBaudRate(br9600);
    Port->SetCustomBaudRate(31250); // equal to the stored custom value: br9600 stays
    EXPECT_EQ(Port->BaudRate(), br9600);
    EXPECT_EQ(Port->CustomBaudRate(), 9600);
    TOptions options{opOutputCTSFlow};
    Port->SetOptions(options);
    EXPECT_EQ(Fake->SetSettings().back().Flags & DcbFlag::OutxCtsFlow, DcbFlag::OutxCtsFlow);
}

TEST_F(FakePort, OpenAndCloseRulesAndTheirHandlers)
{
    std::vector<std::string> seen;
    Port->BeforeOpen = [&](TCustomComPort&) { seen.push_back("BeforeOpen"); };
    Port->AfterOpen = [&](TCustomComPort&) { seen.push_back("AfterOpen"); };
    Port->BeforeClose = [&](TCustomComPort&) { seen.push_back("BeforeClose"); };
    Port->AfterClose = [&](TCustomComPort&) { seen.push_back("AfterClose"); };
    Port->Close();
    Port->SetActive(true);
    Port->Open();
    EXPECT_EQ(seen, (std::vector<std::string>{"BeforeOpen", "AfterOpen"}));

    std::string message;
    Port->SetDeviceName("COM1"); // the same name: fine
    EXPECT_EQ(CodeOf([&] { Port->SetDeviceName("COM3"); }, &message), 0);
    EXPECT_EQ(message, "Can't perform this operation on an open port");
    EXPECT_EQ(Port->DeviceName(), "COM1");
    EXPECT_EQ(CodeOf([&] { Port->SetPriorityClass(pcHigh); }), 0);
    EXPECT_EQ(CodeOf([&] { Port->SetSynchronizeEvents(false); }), 0);

    Port->SetActive(false);
    Port->Close();
    EXPECT_EQ(seen.size(), 4U);
    EXPECT_EQ(seen.back(), "AfterClose");
}

TEST_F(FakePort, EveryFailingPlatformCallRaisesItsCodeAndText)
{
    const std::vector<std::string> openCalls{
        "Open",        "Purge",       "SetQueueSizes", "GetLineSettings", "SetLineSettings",
        "GetTimeouts", "SetTimeouts", "SetCommMask"};
    ConfigureAsMainWindow();
    std::int32_t code = 100;
    for (const auto& call : openCalls) {
        Fake->FailCall(call, ++code);
        std::string message;
        EXPECT_EQ(CodeOf([&] { Port->Open(); }, &message), code) << call;
        EXPECT_EQ(message, "System error " + std::to_string(code));
        // A failed open releases everything and restores the priority.
        EXPECT_FALSE(Port->Active()) << call;
        EXPECT_EQ(Fake->RestoredPriority(), 32);
        Fake->FailCall(call, 0);
    }

    Port->Open();
    const std::vector<std::pair<std::string, std::function<void()>>> ioCalls{
        {"StartRead", [&] { Port->ReadChar(); }},
        {"StartWrite", [&] { Port->WriteChar(1); }},
        {"ClearCommError", [&] { Port->InputCount(); }},
        {"Purge", [&] { Port->PurgeInput(); }},
        {"GetModemStatus", [&] { Port->ModemStatus(); }},
    };
    for (const auto& [call, action] : ioCalls) {
        Fake->FailCall(call, ++code);
        EXPECT_EQ(CodeOf(action), code) << call;
        Fake->FailCall(call, 0);
    }
    EXPECT_TRUE(Port->Active());
}

TEST_F(FakePort, ShortTransfersRaiseTimeoutAndWritesFinishAtTheNextWrite)
{
    Port->Open();
    Fake->SetWriteAccepts(0);
    Port->WriteString("ab"); // returns at once
    std::string message;
    EXPECT_EQ(CodeOf([&] { Port->WriteChar('c'); }, &message), 0);
    EXPECT_EQ(message, "Timeout");
    Fake->SetWriteAccepts(-1);
    Port->WriteChar('d');
    EXPECT_EQ(Fake->Output(), "abd");

    Fake->FeedInput("x");
    char buffer[3] = {};
    EXPECT_EQ(CodeOf([&] { Port->Read(buffer, 3, true); }, &message), 0);
    EXPECT_EQ(message, "Timeout");
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(FakePort, ReadWriteHandlersSeeTheLengthAskedAndZeroLengthStillFinishes)
{
    Port->Open();
    std::vector<std::string> seen;
    Port->BeforeRead = [&](TCustomComPort&, void*, std::int32_t n, bool w) {
        seen.push_back("BeforeRead " + std::to_string(n) + (w ? " wait" : ""));
    };
    Port->AfterRead = [&](TCustomComPort&, void*, std::int32_t n, bool) {
        seen.push_back("AfterRead " + std::to_string(n));
    };
    char buffer[4];
    Port->Read(buffer, 4, false); // nothing there: pending
    Fake->FeedInput("abcd");
    Port->Read(buffer, 0, true); // finishes the previous read
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    const std::vector<std::string> expected{"BeforeRead 4", "AfterRead 4", "BeforeRead 0 wait",
                                            "AfterRead 0"};
    EXPECT_EQ(seen, expected);
}

TEST_F(FakePort, LineErrorsGoToTheHandlerOnlyAndCostNothingWithoutOne)
{
    Port->SetSynchronizeEvents(false);
    Port->Open();
    Fake->FeedInput("a");
    Port->ReadChar();
    Port->InputCount();
    for (const auto& call : Fake->Calls())
        EXPECT_EQ(call.find("ClearCommError errors"), std::string::npos) << call;

    TLineErrors reported;
    Port->SetOnLineError([&](TCustomComPort&, TLineErrors e) { reported = e; });
    Fake->SetErrorBits(CommError::Frame | CommError::Overrun);
    Fake->FeedInput("b");
    EXPECT_EQ(Port->ReadChar(), 'b');
    EXPECT_TRUE(reported.Contains(leFrame));
    EXPECT_TRUE(reported.Contains(leOverrun));
    EXPECT_FALSE(reported.Contains(leParity));
    Port->SetOnLineError(nullptr);
}

TEST_F(FakePort, OnErrorWithAbortTurnsEveryErrorIntoASilentAbort)
{
    int calls = 0;
    Port->SetOnError([&](TCustomComPort&, const EComError& e, TComAction& action) {
        ++calls;
        EXPECT_EQ(action, caFail);
        if (std::string(e.what()) != "keep")
            action = caAbort;
    });
    EXPECT_THROW(Port->ReadChar(), EAbort); // closed-port error
    Port->Open();
    Port->Timeouts().SetReadConstant(50);
    EXPECT_THROW(Port->ReadChar(), EAbort); // "Timeout"
    Fake->FailCall("Purge", 7);
    EXPECT_THROW(Port->PurgeInput(), EAbort);
    EXPECT_EQ(calls, 3);

    Port->SetOnError([](TCustomComPort&, const EComError&, TComAction&) {});
    EXPECT_THROW(Port->PurgeInput(), EComError);
}

TEST_F(FakePort, ModemStatusIsDecodedAndClosedPortRefuses)
{
    EXPECT_EQ(CodeOf([&] { Port->ModemStatus(); }), 0);
    Port->Open();
    Fake->SetModemBits(ModemBit::Cts | ModemBit::Rlsd);
    const TModemStatus status = Port->ModemStatus();
    EXPECT_TRUE(status.Contains(msCTS));
    EXPECT_TRUE(status.Contains(msRLSD));
    EXPECT_FALSE(status.Contains(msDSR));
    EXPECT_FALSE(status.Contains(msRing));
}

TEST_F(FakePort, SubObjectAssignmentCopiesTheFieldsAndApplies)
{
    Port->Open();
    TTimeouts timeouts;
    timeouts.SetReadInterval(5);
    timeouts.SetWriteConstant(9);
    Port->SetTimeouts(timeouts);
    EXPECT_EQ(Port->Timeouts().ReadInterval(), 5);
    EXPECT_EQ(Fake->SetTimeoutsLog().back().WriteConstant, 9);
    TBufferSizes sizes;
    sizes.SetInput(100);
    Port->SetBufferSizes(sizes);
    EXPECT_EQ(Fake->Calls().back(), "SetQueueSizes 100 2048");
}

} // namespace
