// The real window with the real stages, against a server that stops answering at one position
// of each stage, in simulated time: the worker is held in the wait at that position until the
// window's close or Back arrives there. Closing the window ends everything within half a second
// of simulated time, and Back lands on page 3 with the files as the read-out rules leave them.

#include "app/qt/srvdiagmain.h"
#include "serial/comport.h"
#include "tests/support/qtserve.h"
#include "tests/support/scratchdir.h"
#include "tests/support/simlister.h"
#include "tests/support/simserialplatform.h"
#include "worker/serthread.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>

namespace {

using P = TFaultPosition;

std::string PositionTestName(const ::testing::TestParamInfo<P>& info)
{
    std::string name = FaultPositionName(info.param);
    for (char& c : name)
        if (c == ' ')
            c = '_';
    return name;
}

bool InReadOut(P position)
{
    return position == P::Shutdown || BlockOf(position) >= 0;
}

bool InLinkCheck(P position)
{
    return position == P::Link1 || position == P::Link2;
}

// The dump file after a cut-short read-out: the blocks read before the position.
std::string PartialDump(P position)
{
    const int blocks = BlockOf(position) < 0 ? 0 : BlockOf(position);
    return PatternImage().substr(0, static_cast<std::size_t>(blocks) * 12);
}

class StageCut : public ::testing::TestWithParam<P>
{
protected:
    void SetUp() override
    {
        Line = std::make_unique<TSimLine>(Clock, TSimLine::Paced(), Kind(), GetParam());
        auto platform = std::make_unique<TSimSerialPlatform>(*Line, Clock);
        platform->HoldOnceStruck(Kind() == TFaultKind::Stall);
        platform->OnHold = [] {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        };
        Platform = platform.get();
        Main = std::make_unique<TMain>(MakeSerialStages(std::make_unique<TSimLister>(*Line)),
                                       QString::fromStdString(Dir.File("srvdiag").string()),
                                       std::move(platform), Clock);
        WriteFile(Dump(), OldDump);
        Main->show();
        Main->activateWindow();
        ASSERT_TRUE(ServeEventsUntil([this] { return Main->isActiveWindow(); }));
        Next();
        QTest::keyClicks(Main->FileCombo->lineEdit(), QString::fromStdString(Dump().string()));
        Next();
        Main->ShutdnChk->setChecked(true);
        Next();
        ASSERT_EQ(Main->Page(), 4);
        Main->NextBut->click();
        // Stopped at the position: the stage waits there for an answer that does not come.
        ASSERT_TRUE(ServeEventsUntil([this] { return Platform->Holding(); }));
        ASSERT_TRUE(Main->Page() == 5 || Main->Page() == 6);
    }

    void TearDown() override
    {
        Main.reset();
        Line.reset();
    }

    virtual TFaultKind Kind() const { return TFaultKind::Silence; }

    void Next()
    {
        Main->NextBut->click();
        ASSERT_TRUE(ServeEventsUntil([this] { return Main->Worker()->Suspended(); }));
    }

    std::filesystem::path Dump() const { return Dir.File("memory.DMP"); }
    std::filesystem::path TraceFile() const { return Dir.File("srvdiag.ERR"); }

    const std::string OldDump = "an earlier dump";
    TScratchDir Dir;
    TSimClock Clock;
    std::unique_ptr<TSimLine> Line;
    TSimSerialPlatform* Platform = nullptr; // the window's port owns it
    std::unique_ptr<TMain> Main;
};

TEST_P(StageCut, CloseEndsWithinHalfASecond)
{
    // The clock stands still while the worker is held: the close arrives at this instant.
    const auto start = Clock.Now();
    Main->close();
    Main.reset(); // returns only once the worker has ended
    const auto took = Clock.Now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(500))
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    // A read-out cut short keeps what it read; a connect leaves the earlier dump alone.
    EXPECT_EQ(ReadFile(Dump()), InReadOut(GetParam()) ? PartialDump(GetParam()) : OldDump);
}

TEST_P(StageCut, BackLandsOnPage3)
{
    Main->PrevBut->click();
    ASSERT_TRUE(ServeEventsUntil(
        [this] { return Main->Worker()->Suspended() && !Main->Worker()->BackRequested(); }));
    EXPECT_EQ(Main->Page(), 3);
    EXPECT_FALSE(Main->SerIF().Active());
    EXPECT_EQ(ReadFile(Dump()), InReadOut(GetParam()) ? PartialDump(GetParam()) : OldDump);
    // A Back during the link check leaves no failure behind, so no trace file.
    EXPECT_EQ(std::filesystem::exists(TraceFile()), !InLinkCheck(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(EachStage, StageCut,
                         ::testing::Values(P::Probe, P::Wake, P::Ident1, P::Ident4, P::Link1,
                                           P::Link2, P::Shutdown, P::Block0, P::Block63,
                                           P::Block127),
                         PositionTestName);

// A server that answers, then stops taking bytes: the worker waits in a write that the server
// never takes. Closing the window and Back end that wait; the bound of the write would end it
// too, only later, so either way the window must close and Back must land on page 3.
class StallCut : public StageCut
{
protected:
    TFaultKind Kind() const override { return TFaultKind::Stall; }
};

TEST_P(StallCut, CloseEndsTheWaitingWrite)
{
    Main->close();
    Main.reset(); // returns only once the worker has ended
    EXPECT_EQ(ReadFile(Dump()), OldDump);
}

TEST_P(StallCut, BackEndsTheWaitingWriteOnPage3)
{
    Main->PrevBut->click();
    ASSERT_TRUE(ServeEventsUntil(
        [this] { return Main->Worker()->Suspended() && !Main->Worker()->BackRequested(); }));
    EXPECT_EQ(Main->Page(), 3);
    EXPECT_FALSE(Main->SerIF().Active());
    EXPECT_EQ(ReadFile(Dump()), OldDump);
}

// At the probe, and after the last identification character, just before the link check.
INSTANTIATE_TEST_SUITE_P(ConnectStage, StallCut, ::testing::Values(P::Probe, P::Ident19),
                         PositionTestName);

} // namespace
