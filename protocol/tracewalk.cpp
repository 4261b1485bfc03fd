#include "protocol/tracewalk.h"

#include "protocol/checksum.h"
#include "protocol/constants.h"
#include "protocol/frame.h"
#include "protocol/identification.h"
#include "protocol/traceparser.h"

#include <cstdio>
#include <utility>

namespace {

const std::string ShutdownFrame = FrameWrite(ShutdownRequest(), false, 0);
const std::string ShutdownAcks = ExpectedAcks(ShutdownRequest().size(), 0);
const std::string BlockAcks = ExpectedAcks(ReadRequest(0).size(), ReadOut::BlockSize);

// The request frame of a block as the worker writes it: header, request, checksum, poll bytes.
std::string BlockFrame(int block)
{
    return FrameWrite(ReadRequest(block), true, ReadOut::BlockSize);
}

// The frame of a block's request without its poll bytes.
const std::size_t BlockRequestLength = RequestFrame(ReadRequest(0), true).size();

// A byte as the decoded lines show it: hex, and the character for an identification character.
std::string Shown(int value)
{
    if (IsIdentificationChar(value))
        return ByteHex(value) + " '" + static_cast<char>(value) + "'";
    return ByteHex(value);
}

std::string HexRun(const std::string& bytes, std::size_t from, std::size_t count)
{
    std::string text;
    for (std::size_t i = from; i < from + count && i < bytes.size(); ++i) {
        char part[4];
        std::snprintf(part, sizeof part, "%02X", static_cast<std::uint8_t>(bytes[i]));
        if (!text.empty())
            text += ' ';
        text += part;
    }
    return text;
}

// The poll bytes of a block request, as the decoded lines name them: "C1..CD".
const std::string PollRange = [] {
    const std::string polls = PollBytes(ReadOut::BlockSize);
    return HexRun(polls, 0, 1) + ".." + HexRun(polls, polls.size() - 1, 1);
}();

// The identification text as a readable string: a control byte as 0xNN, the rest as it is.
std::string ShownText(const std::string& text)
{
    std::string shown;
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x20 || b >= 0x7F)
            shown += (shown.empty() ? "" : " ") + ByteHex(b) + " ";
        else
            shown += c;
    }
    return shown;
}

enum class TPhase : std::uint8_t {
    Empty,   // no entry yet
    Started, // the attempt-start entry, no byte yet
    Probe,
    ProbeContinuation,
    Wake,
    Identification,
    Link1,
    Link2,
    Frames,
    Done,  // all blocks read
    Ended, // the verdict is decided by a failure
};

} // namespace

struct TTraceWalker::TState
{
    TTraceVerdict Verdict;
    std::optional<std::string> Error;
    std::vector<TTraceStep> Out;
    TTraceReader Reader;
    std::size_t Entries = 0;
    TPhase Phase = TPhase::Empty;
    int Count = 0; // probe continuations, the wake counter or the identification step

    bool AwaitingByte = false;
    int SentValue = -1;
    bool SentFailed = false;
    std::size_t SentEntry = 0;
    bool AwaitingFrame = false;
    bool FrameIsShutdown = false;
    std::size_t FrameEntry = 0;
    bool ShutdownSeen = false;

    bool LineLost = false; // a write failed, or the device was reported gone
    // The first awaited answer that did not come since the last one that did: a server that
    // falls silent is found where it fell silent, not where the tool gave up on it.
    bool Silent = false;
    TTraceStage SilentStage = TTraceStage::Probe;
    int SilentStep = 0;

    void Emit(TTraceStage stage, int step, int block, bool ok, std::size_t entry, std::string text)
    {
        TTraceStep s;
        s.Entry = entry;
        s.Stage = stage;
        s.Step = step;
        s.Block = block;
        s.Ok = ok;
        s.Text = std::move(text);
        Out.push_back(std::move(s));
    }

    void Fail(TTraceStage stage, TTraceFault fault, int step, int block, int expected = -1,
              int received = -1)
    {
        if (fault == TTraceFault::NoAnswer && Silent && stage != TTraceStage::Block &&
            stage != TTraceStage::Shutdown) {
            stage = SilentStage;
            step = SilentStep;
        }
        if (fault == TTraceFault::NoAnswer && LineLost)
            fault = TTraceFault::LineLost;
        Verdict.Stage = stage;
        Verdict.Fault = fault;
        Verdict.Step =
            stage == TTraceStage::Identification || stage == TTraceStage::LinkCheck ? step : 0;
        Verdict.Block = stage == TTraceStage::Block ? block : -1;
        Verdict.Expected = expected;
        Verdict.Received = received;
        Phase = TPhase::Ended;
    }

    void Bad(const std::string& why)
    {
        if (!Error)
            Error = "entry " + std::to_string(Entries + 1) + ": " + why;
    }

    void Answered(int received, TTraceStage stage, int step)
    {
        if (received >= 0) {
            Silent = false;
        } else if (!Silent) {
            Silent = true;
            SilentStage = stage;
            SilentStep = step;
        }
    }

    // The byte the worker sends next in the current phase.
    int ByteDue() const
    {
        switch (Phase) {
        case TPhase::Started:
        case TPhase::Probe:
            return LinkByte::Probe;
        case TPhase::Wake:
            return LinkByte::Wake;
        case TPhase::Link1:
        case TPhase::Link2:
            return LinkByte::LinkCheck;
        case TPhase::ProbeContinuation:
            return LinkByte::ProbeContinuation;
        case TPhase::Identification:
            return IdentificationByte(Count);
        default:
            return -1;
        }
    }

    void Take(const TTraceEntry& entry)
    {
        switch (entry.Kind) {
        case TTraceEntry::AttemptStart:
            Verdict.Device = entry.Device;
            Phase = TPhase::Started;
            Emit(TTraceStage::Port, 0, -1, true, Entries, "attempt on " + entry.Device);
            return;
        case TTraceEntry::ByteSent:
            return TakeByteSent(entry);
        case TTraceEntry::ByteReceived:
            return TakeByteReceived(entry.Value);
        case TTraceEntry::FrameSent:
            return TakeFrameSent(entry.Bytes);
        case TTraceEntry::FrameReceived:
            return TakeFrameReceived(entry.Bytes);
        case TTraceEntry::FrameFailed:
            return TakeFrameFailed();
        }
    }

    void TakeByteSent(const TTraceEntry& entry)
    {
        if (Phase == TPhase::Done || Phase == TPhase::Ended || Phase == TPhase::Frames)
            return Bad("a byte sent where none is due");
        if (AwaitingByte)
            return Bad("a byte sent before the answer to the previous one");
        if (Phase == TPhase::Started)
            Phase = TPhase::Probe;
        if (entry.Value != ByteDue())
            return Bad("byte " + ByteHex(entry.Value) + " sent where " + ByteHex(ByteDue()) +
                       " is due");
        AwaitingByte = true;
        SentValue = entry.Value;
        SentFailed = entry.Failed;
        SentEntry = Entries;
        if (entry.Failed)
            LineLost = true;
        // In the link check a failed write is not followed by a wait for the answer.
        if (entry.Failed && (Phase == TPhase::Link1 || Phase == TPhase::Link2)) {
            AwaitingByte = false;
            const int step = Phase == TPhase::Link1 ? 1 : 2;
            Emit(TTraceStage::LinkCheck, step, -1, false, SentEntry,
                 "link check " + std::to_string(step) + ": sent " + ByteHex(LinkByte::LinkCheck) +
                     " - write failed");
            if (Phase == TPhase::Link1)
                Phase = TPhase::Link2; // the second byte decides
            else
                Fail(TTraceStage::LinkCheck, TTraceFault::LineLost, 2, -1);
        }
    }

    std::string Sent() const
    {
        return "sent " + ByteHex(SentValue) + (SentFailed ? " (write failed)" : "");
    }

    void TakeByteReceived(int r)
    {
        if (!AwaitingByte)
            return Bad("an answer with no byte sent before it");
        AwaitingByte = false;
        const std::size_t at = SentEntry;
        switch (Phase) {
        case TPhase::Probe:
            Answered(r, TTraceStage::Probe, 0);
            if (r == LinkByte::ProbeAnswer) {
                Emit(TTraceStage::Probe, 0, -1, true, at,
                     "probe: " + Sent() + ", received " + ByteHex(LinkByte::ProbeAnswer) +
                         ": the server is identifying, probing on");
                Phase = TPhase::ProbeContinuation;
                Count = 0;
            } else {
                Emit(TTraceStage::Probe, 0, -1, true, at,
                     "probe: " + Sent() + ", received " + ByteHex(r) + ": waking follows");
                Phase = TPhase::Wake;
                Count = LinkByte::WakeCounterStart;
            }
            return;
        case TPhase::ProbeContinuation: {
            ++Count;
            Answered(r, TTraceStage::Probe, 0);
            const std::string head = "probe continuation " + std::to_string(Count) + ": " + Sent();
            if (r < 0) {
                Emit(TTraceStage::Probe, Count, -1, true, at, head + ", no answer: waking follows");
                Phase = TPhase::Wake;
                Count = LinkByte::WakeCounterStart;
            } else if (!IsIdentificationChar(r)) {
                Emit(TTraceStage::Probe, Count, -1, false, at,
                     head + ", received " + ByteHex(r) +
                         ": not an identification character, bring-up ends");
                Fail(TTraceStage::Probe, TTraceFault::ProbeOutOfStep, 0, -1, -1, r);
            } else if (Count == LinkByte::MostProbeContinuations) {
                Emit(TTraceStage::Probe, Count, -1, false, at,
                     head + ", received " + Shown(r) +
                         ": still identifying after 17 bytes, bring-up ends");
                Fail(TTraceStage::Probe, TTraceFault::ProbeOutOfStep, 0, -1, -1, r);
            } else {
                Emit(TTraceStage::Probe, Count, -1, true, at, head + ", received " + Shown(r));
            }
            return;
        }
        case TPhase::Wake: {
            --Count;
            const int exchange = LinkByte::WakeCounterStart - Count;
            Answered(r, TTraceStage::Wake, 0);
            const bool stop = (r == -1 && Count < LinkByte::WakeToleranceBound) || Count == 0 ||
                              r == LinkByte::WakeAnswer;
            std::string text = "wake " + std::to_string(exchange) + ": " + Sent() + ", ";
            if (r == LinkByte::WakeAnswer)
                text += "received " + ByteHex(r) + ": awake";
            else if (r < 0)
                text += stop ? "no answer: identification follows" : "no answer (tolerated)";
            else
                text +=
                    "received " + ByteHex(r) + (stop ? ": identification follows" : ": waking on");
            Emit(TTraceStage::Wake, exchange, -1, r >= 0, at, text);
            if (stop) {
                Phase = TPhase::Identification;
                Count = 1;
            }
            return;
        }
        case TPhase::Identification:
            return TakeIdentificationAnswer(r, at);
        case TPhase::Link1:
            if (r < 0) {
                Emit(TTraceStage::LinkCheck, 1, -1, true, at,
                     "link check 1: " + Sent() + ", expected no answer, received none - ok");
                Phase = TPhase::Link2;
            } else {
                Emit(TTraceStage::LinkCheck, 1, -1, false, at,
                     "link check 1: " + Sent() + ", expected no answer, received " + ByteHex(r) +
                         " - echoed");
                Fail(TTraceStage::LinkCheck, TTraceFault::Echo, 1, -1, -1, r);
            }
            return;
        case TPhase::Link2: {
            Answered(r, TTraceStage::LinkCheck, 2);
            // The server echoes the second link-check byte.
            const bool echoed = r == LinkByte::LinkCheck;
            Emit(TTraceStage::LinkCheck, 2, -1, echoed, at,
                 "link check 2: " + Sent() + ", expected " + ByteHex(LinkByte::LinkCheck) +
                     ", received " + ByteHex(r) + (echoed ? " - ok" : " - wrong"));
            if (echoed)
                Phase = TPhase::Frames;
            else
                Fail(TTraceStage::LinkCheck,
                     r < 0 ? TTraceFault::NoAnswer : TTraceFault::WrongAnswer, 2, -1,
                     LinkByte::LinkCheck, r);
            return;
        }
        default:
            return Bad("an answer where none is due");
        }
    }

    void TakeIdentificationAnswer(int r, std::size_t at)
    {
        const int step = Count;
        Answered(r, TTraceStage::Identification, step);
        const int required = IdentificationRequiredAnswer(step);
        const bool ok = IdentificationAnswerOk(step, r);
        std::string expected = step == 1 ? "0x01..0xFF" : "an identification character";
        if (required >= 0)
            expected = ByteHex(required);
        Emit(TTraceStage::Identification, step, -1, ok, at,
             "identification step " + std::to_string(step) + ": " + Sent() + ", expected " +
                 expected + ", received " + Shown(r) + (ok ? " - ok" : " - wrong"));
        if (!ok) {
            Fail(TTraceStage::Identification,
                 r < 0 ? TTraceFault::NoAnswer : TTraceFault::WrongAnswer, step, -1, required, r);
            return;
        }
        if (IdentificationAnswerKept(step))
            Verdict.Identification += static_cast<char>(r);
        if (step < IdentificationSteps) {
            ++Count;
            return;
        }
        const bool accepted = IdentificationAccepted(Verdict.Identification);
        Emit(TTraceStage::Identification, step, -1, accepted, at,
             "identification text " + ShownText(Verdict.Identification) +
                 (accepted ? ": accepted"
                           : ": does not begin with " +
                                 ShownText(std::string(IdentificationPrefix)) + ", rejected"));
        if (accepted)
            Phase = TPhase::Link1;
        else
            Fail(TTraceStage::Identification, TTraceFault::IdentMismatch, step, -1);
    }

    int Block() const { return Verdict.BlocksRead; }

    void TakeFrameSent(const std::string& frame)
    {
        if (Phase != TPhase::Frames || AwaitingFrame || AwaitingByte)
            return Bad("a frame sent where none is due");
        FrameEntry = Entries;
        if (frame == ShutdownFrame && !ShutdownSeen && Block() == 0) {
            FrameIsShutdown = true;
            Emit(TTraceStage::Shutdown, 0, -1, true, FrameEntry,
                 "shutdown command: sent " + HexRun(frame, 0, frame.size()));
        } else if (frame == BlockFrame(Block())) {
            FrameIsShutdown = false;
            Emit(TTraceStage::Block, 0, Block(), true, FrameEntry,
                 "block " + std::to_string(Block()) + " request: sent " +
                     HexRun(frame, 0, BlockRequestLength) + ", poll bytes " + PollRange);
        } else {
            return Bad("a frame that is neither the shutdown command nor the request for block " +
                       std::to_string(Block()));
        }
        AwaitingFrame = true;
    }

    void TakeFrameFailed()
    {
        if (!AwaitingFrame)
            return Bad("a failure mark where no frame is under way");
        AwaitingFrame = false;
        const std::size_t at = Entries;
        const std::string what =
            FrameIsShutdown ? "shutdown command" : "block " + std::to_string(Block());
        Emit(FrameIsShutdown ? TTraceStage::Shutdown : TTraceStage::Block, 0,
             FrameIsShutdown ? -1 : Block(), false, at,
             what + (LineLost ? ": line lost" : ": no complete answer within the read timeout"));
        Fail(FrameIsShutdown ? TTraceStage::Shutdown : TTraceStage::Block, TTraceFault::NoAnswer, 0,
             FrameIsShutdown ? -1 : Block());
    }

    void TakeFrameReceived(const std::string& answer)
    {
        if (!AwaitingFrame)
            return Bad("a frame received with no frame sent before it");
        AwaitingFrame = false;
        const std::size_t at = Entries;
        if (FrameIsShutdown) {
            if (answer.size() != ShutdownAcks.size())
                return Bad("a shutdown answer of " + std::to_string(answer.size()) + " bytes");
            ShutdownSeen = true;
            const bool ok = answer == ShutdownAcks;
            Emit(TTraceStage::Shutdown, 0, -1, ok, at,
                 "shutdown command: acknowledged " + HexRun(answer, 0, 3) + ", expected " +
                     HexRun(ShutdownAcks, 0, ShutdownAcks.size()) + (ok ? " - ok" : " - wrong"));
            if (ok)
                return;
            if (answer.compare(0, 2, ShutdownAcks, 0, 2) == 0) {
                Fail(TTraceStage::Shutdown, TTraceFault::ShutdownRefused, 0, -1, 7,
                     static_cast<std::uint8_t>(answer[2]));
                return;
            }
            const std::size_t i = answer[0] != ShutdownAcks[0] ? 0 : 1;
            Fail(TTraceStage::Shutdown, TTraceFault::WrongAck, 0, -1,
                 static_cast<std::uint8_t>(ShutdownAcks[i]), static_cast<std::uint8_t>(answer[i]));
            return;
        }
        const int block = Block();
        if (answer.size() != BlockAcks.size() + 1 + ReadOut::BlockSize)
            return Bad("a block answer of " + std::to_string(answer.size()) + " bytes");
        const std::uint8_t sum =
            ReplyChecksum(ReadOut::BlockSize, answer.substr(BlockAcks.size() + 1));
        const auto received = static_cast<std::uint8_t>(answer[BlockAcks.size()]);
        const bool acksOk = answer.compare(0, BlockAcks.size(), BlockAcks) == 0;
        const bool sumOk = sum == received;
        std::string text = "block " + std::to_string(block) + " reply: acknowledged " +
                           HexRun(answer, 0, BlockAcks.size()) + ", expected " +
                           HexRun(BlockAcks, 0, BlockAcks.size());
        if (acksOk)
            text += ", checksum received " + ByteHex(received) + " computed " + ByteHex(sum) +
                    ", data " + HexRun(answer, BlockAcks.size() + 1, ReadOut::BlockSize);
        text += acksOk && sumOk ? " - ok" : " - wrong";
        Emit(TTraceStage::Block, 0, block, acksOk && sumOk, at, text);
        if (!acksOk) {
            std::size_t i = 0;
            while (answer[i] == BlockAcks[i])
                ++i;
            Fail(TTraceStage::Block, TTraceFault::WrongAck, 0, block,
                 static_cast<std::uint8_t>(BlockAcks[i]), static_cast<std::uint8_t>(answer[i]));
            return;
        }
        if (!sumOk) {
            Fail(TTraceStage::Block, TTraceFault::WrongChecksum, 0, block, sum, received);
            return;
        }
        ++Verdict.BlocksRead;
        if (Verdict.BlocksRead == ReadOut::BlockCount)
            Phase = TPhase::Done;
    }

    void TakeEntry(const TTraceEntry& entry)
    {
        if (Error)
            return;
        if (Phase == TPhase::Ended || Phase == TPhase::Done) {
            Bad("an entry after the attempt ended");
            return;
        }
        Take(entry);
        ++Entries;
    }

    // The entries the reader holds, one at a time, until the walk or the reader finds the
    // record damaged.
    void TakeEntries()
    {
        while (!Error) {
            const std::optional<TTraceEntry> entry = Reader.Next();
            if (!entry)
                break;
            TakeEntry(*entry);
        }
        const auto& refusal = Reader.Error();
        if (!refusal || Error)
            return;
        if (!refusal->Unfinished && (Phase == TPhase::Ended || Phase == TPhase::Done))
            Bad("an entry after the attempt ended");
        else
            Bad(refusal->Why);
    }

    void Close()
    {
        Reader.Finish();
        TakeEntries();
        if (Error || Phase == TPhase::Ended)
            return;
        switch (Phase) {
        case TPhase::Empty:
            Verdict.Stage = TTraceStage::Discovery;
            Verdict.Fault = TTraceFault::NothingExchanged;
            return;
        case TPhase::Started:
            Verdict.Stage = TTraceStage::Port;
            Verdict.Fault = TTraceFault::PortNotOpened;
            return;
        case TPhase::Done:
            Verdict.Stage = TTraceStage::ReadOut;
            Verdict.Fault = TTraceFault::None;
            return;
        default:
            break;
        }
        // Stopped before its end without a failure: a Back, a Ctrl+C or a close.
        TTraceStage stage = TTraceStage::Block;
        int step = 0;
        switch (Phase) {
        case TPhase::Probe:
        case TPhase::ProbeContinuation:
            stage = TTraceStage::Probe;
            break;
        case TPhase::Wake:
            stage = TTraceStage::Wake;
            break;
        case TPhase::Identification:
            stage = TTraceStage::Identification;
            step = Count;
            break;
        case TPhase::Link1:
        case TPhase::Link2:
            stage = TTraceStage::LinkCheck;
            step = Phase == TPhase::Link1 ? 1 : 2;
            break;
        default:
            if (AwaitingFrame && FrameIsShutdown)
                stage = TTraceStage::Shutdown;
            break;
        }
        if (AwaitingByte || AwaitingFrame)
            Emit(stage, step, stage == TTraceStage::Block ? Block() : -1, false,
                 AwaitingByte ? SentEntry : FrameEntry, "no answer recorded: stopped here");
        Fail(stage, TTraceFault::Stopped, step, Block());
    }
};

TTraceWalker::TTraceWalker() : State(std::make_unique<TState>()) {}
TTraceWalker::~TTraceWalker() = default;
TTraceWalker::TTraceWalker(TTraceWalker&&) noexcept = default;
TTraceWalker& TTraceWalker::operator=(TTraceWalker&&) noexcept = default;

std::vector<TTraceStep> TTraceWalker::Feed(const std::string& text)
{
    State->Reader.Append(text);
    State->TakeEntries();
    return std::exchange(State->Out, {});
}

std::vector<TTraceStep> TTraceWalker::Finish()
{
    State->Close();
    return std::exchange(State->Out, {});
}

const TTraceVerdict& TTraceWalker::Verdict() const
{
    return State->Verdict;
}

const std::optional<std::string>& TTraceWalker::Error() const
{
    return State->Error;
}

void TTraceWalker::NoteLineLost()
{
    State->LineLost = true;
}

TTraceWalk WalkTrace(const std::string& trace)
{
    TTraceWalker walker;
    TTraceWalk walk;
    walk.Steps = walker.Feed(trace);
    for (TTraceStep& step : walker.Finish())
        walk.Steps.push_back(std::move(step));
    walk.Verdict = walker.Verdict();
    walk.Error = walker.Error();
    return walk;
}

std::string ByteHex(int value)
{
    if (value < 0)
        return "none";
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}
