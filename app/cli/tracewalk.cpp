#include "app/cli/tracewalk.h"

#include <array>
#include <cstdio>
#include <utility>

namespace {

constexpr int ProbeAnswer = 0x55;
constexpr int MostProbeContinuations = 17;
constexpr int WakeCounterStart = 66;
constexpr int WakeToleranceBound = 63;
constexpr int IdentificationSteps = 19;
constexpr int BlockCount = 128;
constexpr std::size_t BlockSize = 12;
const std::string IdentificationPrefix = std::string("\x11") + "VADOZIROZA";
const std::string ShutdownFrame{'\x01', '\x04', '\x86'};
const std::string ShutdownAcks{'\x01', '\x03', '\x07'};
const std::string BlockAcks{'\x01', '\x02', '\x03', '\x4C'};

bool IsIdentificationChar(int b)
{
    return (b >= '0' && b <= '9') || (b >= 'A' && b <= '[');
}

std::uint8_t RotateAdd(std::uint8_t sum, std::uint8_t byte)
{
    const auto rotated = static_cast<std::uint8_t>((sum << 1) | (sum >> 7));
    return static_cast<std::uint8_t>(rotated + byte);
}

// The request frame of a block as the worker writes it: header, request, checksum, poll bytes.
std::string BlockFrame(int block)
{
    std::string frame{'\x42', '\xFF', static_cast<char>(0x80 + block)};
    std::uint8_t c = 0x42;
    c = RotateAdd(c, 0xFF);
    c = RotateAdd(c, static_cast<std::uint8_t>(0x80 + block));
    frame += static_cast<char>(0x80 | ((c + (c >> 6)) & 0x3F));
    for (int i = 0; i <= static_cast<int>(BlockSize); ++i)
        frame += static_cast<char>(0xC1 + i);
    return frame;
}

std::string Hex(int value)
{
    if (value < 0)
        return "none";
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

// A byte as the decoded lines show it: hex, and the character for an identification character.
std::string Shown(int value)
{
    if (IsIdentificationChar(value))
        return Hex(value) + " '" + static_cast<char>(value) + "'";
    return Hex(value);
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

// The identification text as a readable string: a control byte as 0xNN, the rest as it is.
std::string ShownText(const std::string& text)
{
    std::string shown;
    for (char c : text) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x20 || b >= 0x7F)
            shown += (shown.empty() ? "" : " ") + Hex(b) + " ";
        else
            shown += c;
    }
    return shown;
}

// A decimal number 0..255 as the trace writes it (no sign, no leading zeros).
bool ParseByte(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0'))
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

struct TEntry
{
    enum TKind : std::uint8_t { Start, ByteSent, ByteReceived, FrameSent, FrameReceived };
    TKind Kind = Start;
    bool Failed = false; // "!" before a byte sent
    int Value = -1;      // a single byte, or -1 for none
    std::string Bytes;   // a frame, or the device of the attempt start
};

// One entry without its carriage return; no value when it is no entry of a trace.
std::optional<TEntry> ParseEntry(const std::string& token, bool first)
{
    TEntry entry;
    if (first) {
        if (token.compare(0, 3, "USB") != 0)
            return std::nullopt;
        entry.Kind = TEntry::Start;
        entry.Bytes = token.substr(3);
        return entry;
    }
    std::string rest = token;
    if (!rest.empty() && rest[0] == '!') {
        entry.Failed = true;
        rest.erase(0, 1);
    }
    if (rest.size() < 2 || (rest[0] != '<' && rest[0] != '>'))
        return std::nullopt;
    const bool sent = rest[0] == '<';
    const std::string body = rest.substr(1);
    if (body.back() != ' ') {
        entry.Kind = sent ? TEntry::ByteSent : TEntry::ByteReceived;
        if (!sent && body == "-1")
            return entry;
        if (!ParseByte(body, entry.Value))
            return std::nullopt;
        return entry;
    }
    if (entry.Failed)
        return std::nullopt; // only a single byte carries its failure in front
    entry.Kind = sent ? TEntry::FrameSent : TEntry::FrameReceived;
    std::size_t from = 0;
    while (from < body.size()) {
        const std::size_t space = body.find(' ', from);
        int value = 0;
        if (!ParseByte(body.substr(from, space - from), value))
            return std::nullopt;
        entry.Bytes += static_cast<char>(value);
        from = space + 1;
    }
    return entry;
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
    std::string Pending;
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
        case TPhase::Wake:
        case TPhase::Link1:
        case TPhase::Link2:
            return 0x00;
        case TPhase::ProbeContinuation:
            return ProbeAnswer;
        case TPhase::Identification:
            return Count == 1 ? 0x80 : Count == 2 ? 0x00 : Count == 3 ? 0xA5 : ProbeAnswer;
        default:
            return -1;
        }
    }

    void Take(const TEntry& entry)
    {
        switch (entry.Kind) {
        case TEntry::Start:
            Verdict.Device = entry.Bytes;
            Phase = TPhase::Started;
            Emit(TTraceStage::Port, 0, -1, true, Entries, "attempt on " + entry.Bytes);
            return;
        case TEntry::ByteSent:
            return TakeByteSent(entry);
        case TEntry::ByteReceived:
            return TakeByteReceived(entry.Value);
        case TEntry::FrameSent:
            return TakeFrameSent(entry.Bytes);
        case TEntry::FrameReceived:
            return TakeFrameReceived(entry.Bytes);
        }
    }

    void TakeByteSent(const TEntry& entry)
    {
        if (Phase == TPhase::Done || Phase == TPhase::Ended || Phase == TPhase::Frames)
            return Bad("a byte sent where none is due");
        if (AwaitingByte)
            return Bad("a byte sent before the answer to the previous one");
        if (Phase == TPhase::Started)
            Phase = TPhase::Probe;
        if (entry.Value != ByteDue())
            return Bad("byte " + Hex(entry.Value) + " sent where " + Hex(ByteDue()) + " is due");
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
                 "link check " + std::to_string(step) + ": sent 0x00 - write failed");
            if (Phase == TPhase::Link1)
                Phase = TPhase::Link2; // the second byte decides
            else
                Fail(TTraceStage::LinkCheck, TTraceFault::LineLost, 2, -1);
        }
    }

    std::string Sent() const
    {
        return "sent " + Hex(SentValue) + (SentFailed ? " (write failed)" : "");
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
            if (r == ProbeAnswer) {
                Emit(TTraceStage::Probe, 0, -1, true, at,
                     "probe: " + Sent() + ", received 0x55: the server is identifying, probing on");
                Phase = TPhase::ProbeContinuation;
                Count = 0;
            } else {
                Emit(TTraceStage::Probe, 0, -1, true, at,
                     "probe: " + Sent() + ", received " + Hex(r) + ": waking follows");
                Phase = TPhase::Wake;
                Count = WakeCounterStart;
            }
            return;
        case TPhase::ProbeContinuation: {
            ++Count;
            Answered(r, TTraceStage::Probe, 0);
            const std::string head = "probe continuation " + std::to_string(Count) + ": " + Sent();
            if (r < 0) {
                Emit(TTraceStage::Probe, Count, -1, true, at, head + ", no answer: waking follows");
                Phase = TPhase::Wake;
                Count = WakeCounterStart;
            } else if (!IsIdentificationChar(r)) {
                Emit(TTraceStage::Probe, Count, -1, false, at,
                     head + ", received " + Hex(r) +
                         ": not an identification character, bring-up ends");
                Fail(TTraceStage::Probe, TTraceFault::ProbeOutOfStep, 0, -1, -1, r);
            } else if (Count == MostProbeContinuations) {
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
            const int exchange = WakeCounterStart - Count;
            Answered(r, TTraceStage::Wake, 0);
            const bool stop = (r == -1 && Count < WakeToleranceBound) || Count == 0 || r == 0;
            std::string text = "wake " + std::to_string(exchange) + ": " + Sent() + ", ";
            if (r == 0)
                text += "received 0x00: awake";
            else if (r < 0)
                text += stop ? "no answer: identification follows" : "no answer (tolerated)";
            else
                text += "received " + Hex(r) + (stop ? ": identification follows" : ": waking on");
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
                     "link check 1: " + Sent() + ", expected no answer, received " + Hex(r) +
                         " - echoed");
                Fail(TTraceStage::LinkCheck, TTraceFault::Echo, 1, -1, -1, r);
            }
            return;
        case TPhase::Link2:
            Answered(r, TTraceStage::LinkCheck, 2);
            Emit(TTraceStage::LinkCheck, 2, -1, r == 0, at,
                 "link check 2: " + Sent() + ", expected 0x00, received " + Hex(r) +
                     (r == 0 ? " - ok" : " - wrong"));
            if (r == 0)
                Phase = TPhase::Frames;
            else
                Fail(TTraceStage::LinkCheck,
                     r < 0 ? TTraceFault::NoAnswer : TTraceFault::WrongAnswer, 2, -1, 0, r);
            return;
        default:
            return Bad("an answer where none is due");
        }
    }

    void TakeIdentificationAnswer(int r, std::size_t at)
    {
        const int step = Count;
        Answered(r, TTraceStage::Identification, step);
        std::string expected;
        bool ok = false;
        int required = -1;
        if (step == 1) {
            expected = "0x01..0xFF";
            ok = r >= 1;
        } else if (step == 2) {
            required = 0x55;
            ok = r == required;
        } else if (step == 3) {
            required = 0xF0;
            ok = r == required;
        } else {
            expected = "an identification character";
            ok = IsIdentificationChar(r);
        }
        if (required >= 0)
            expected = Hex(required);
        Emit(TTraceStage::Identification, step, -1, ok, at,
             "identification step " + std::to_string(step) + ": " + Sent() + ", expected " +
                 expected + ", received " + Shown(r) + (ok ? " - ok" : " - wrong"));
        if (!ok) {
            Fail(TTraceStage::Identification,
                 r < 0 ? TTraceFault::NoAnswer : TTraceFault::WrongAnswer, step, -1, required, r);
            return;
        }
        if (step == 1 || step >= 4)
            Verdict.Identification += static_cast<char>(r);
        if (step < IdentificationSteps) {
            ++Count;
            return;
        }
        const bool accepted = Verdict.Identification.compare(0, IdentificationPrefix.size(),
                                                             IdentificationPrefix) == 0;
        Emit(TTraceStage::Identification, step, -1, accepted, at,
             "identification text " + ShownText(Verdict.Identification) +
                 (accepted ? ": accepted" : ": does not begin with 0x11 VADOZIROZA, rejected"));
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
                 "block " + std::to_string(Block()) + " request: sent " + HexRun(frame, 0, 4) +
                     ", poll bytes C1..CD");
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
                 "shutdown command: acknowledged " + HexRun(answer, 0, 3) + ", expected 01 03 07" +
                     (ok ? " - ok" : " - wrong"));
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
        if (answer.size() != BlockAcks.size() + 1 + BlockSize)
            return Bad("a block answer of " + std::to_string(answer.size()) + " bytes");
        std::uint8_t sum = 0x4C;
        for (std::size_t i = BlockAcks.size() + 1; i < answer.size(); ++i)
            sum = RotateAdd(sum, static_cast<std::uint8_t>(answer[i]));
        const auto received = static_cast<std::uint8_t>(answer[BlockAcks.size()]);
        const bool acksOk = answer.compare(0, BlockAcks.size(), BlockAcks) == 0;
        const bool sumOk = sum == received;
        std::string text = "block " + std::to_string(block) + " reply: acknowledged " +
                           HexRun(answer, 0, 4) + ", expected 01 02 03 4C";
        if (acksOk)
            text += ", checksum received " + Hex(received) + " computed " + Hex(sum) + ", data " +
                    HexRun(answer, BlockAcks.size() + 1, BlockSize);
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
        if (Verdict.BlocksRead == BlockCount)
            Phase = TPhase::Done;
    }

    void TakeToken(const std::string& token)
    {
        if (Error)
            return;
        if (Phase == TPhase::Ended || Phase == TPhase::Done) {
            Bad("an entry after the attempt ended");
            return;
        }
        if (token == "!") {
            TakeFrameFailed();
        } else if (const auto entry = ParseEntry(token, Phase == TPhase::Empty)) {
            Take(*entry);
        } else {
            Bad(Phase == TPhase::Empty ? "no attempt-start entry (\"USB\" and the device)"
                                       : "not a byte or frame entry");
        }
        ++Entries;
    }

    void Split(bool final)
    {
        for (;;) {
            if (Error)
                return;
            // A "!" right after a frame marks its failure and ends the record; before a byte
            // it belongs to that byte's entry.
            if (!Pending.empty() && Pending[0] == '!' && AwaitingFrame) {
                Pending.erase(0, 1);
                TakeToken("!");
                continue;
            }
            const std::size_t cr = Pending.find('\r');
            if (cr == std::string::npos)
                break;
            const std::string token = Pending.substr(0, cr);
            Pending.erase(0, cr + 1);
            TakeToken(token);
        }
        if (final && !Pending.empty() && !Error)
            Bad(Phase == TPhase::Empty && Pending.compare(0, 3, "USB") != 0
                    ? "no attempt-start entry (\"USB\" and the device)"
                    : "the record ends inside an entry");
    }

    void Close()
    {
        Split(true);
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
    State->Pending += text;
    State->Split(false);
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

namespace {

// What the verdict's stage is called in a sentence: "block 50", "identification step 4".
std::string StagePhrase(const TTraceVerdict& v, bool dutch)
{
    switch (v.Stage) {
    case TTraceStage::Probe:
        return dutch ? "de peilbyte" : "the probe";
    case TTraceStage::Wake:
        return dutch ? "de wekbytes" : "the wake bytes";
    case TTraceStage::Identification:
        return (dutch ? "identificatiestap " : "identification step ") + std::to_string(v.Step);
    case TTraceStage::LinkCheck:
        return dutch ? "de verbindingscontrole" : "the link check";
    case TTraceStage::Shutdown:
        return dutch ? "het uitschakelcommando" : "the shutdown command";
    case TTraceStage::Block:
        return (dutch ? "blok " : "block ") + std::to_string(v.Block);
    case TTraceStage::Discovery:
    case TTraceStage::Port:
    case TTraceStage::ReadOut:
        break;
    }
    return dutch ? "het uitlezen" : "the read-out";
}

} // namespace

std::string VerdictText(const TTraceVerdict& v, std::uint8_t langIndex)
{
    const bool nl = langIndex == 1;
    const std::string at = StagePhrase(v, nl);
    const auto instead = [&](const std::string& what) {
        if (v.Expected < 0 && v.Stage == TTraceStage::Identification && v.Step == 1)
            return what + " (" + Hex(v.Received) + (nl ? " in plaats van " : " instead of ") +
                   "0x01..0xFF)";
        if (v.Expected < 0 && v.Stage == TTraceStage::Identification)
            return what + " (" + Hex(v.Received) +
                   (nl ? ", geen identificatieteken)" : ", not an identification character)");
        if (v.Expected < 0)
            return what + " (" + Hex(v.Received) + ")";
        return what + " (" + Hex(v.Received) + (nl ? " in plaats van " : " instead of ") +
               Hex(v.Expected) + ")";
    };
    switch (v.Fault) {
    case TTraceFault::None:
        return nl ? "alle 1536 bytes zijn gelezen" : "all 1536 bytes were read";
    case TTraceFault::NothingExchanged:
        return nl ? "geen server gevonden, er is niets uitgewisseld"
                  : "no server was found, nothing was exchanged";
    case TTraceFault::PortNotOpened:
        return nl ? "poort " + v.Device + " kon niet worden geopend"
                  : "port " + v.Device + " could not be opened";
    case TTraceFault::NoAnswer:
        return (nl ? "geen antwoord op " : "no answer to ") + at;
    case TTraceFault::WrongAnswer:
        return instead((nl ? "verkeerd antwoord op " : "wrong answer to ") + at);
    case TTraceFault::WrongAck:
        return instead((nl ? "verkeerde bevestiging van " : "wrong acknowledgement of ") + at);
    case TTraceFault::WrongChecksum:
        return (nl ? "verkeerde controlesom in " : "wrong checksum in ") + at;
    case TTraceFault::Echo:
        return nl ? "de server beantwoordde de eerste controlebyte, die hij moet negeren"
                  : "server answered the first link-check byte, which it must ignore";
    case TTraceFault::LineLost:
        return (nl ? "verbinding verbroken bij " : "line lost at ") + at;
    case TTraceFault::ShutdownRefused:
        return nl ? "de server weigerde het uitschakelcommando"
                  : "server refused the shutdown command";
    case TTraceFault::IdentMismatch:
        return nl ? "identificatietekst komt niet overeen" : "identification text does not match";
    case TTraceFault::ProbeOutOfStep:
        return nl ? "de server antwoordde niet in de pas op de peilbyte"
                  : "server answered the probe out of step";
    case TTraceFault::Stopped:
        return (nl ? "onderbroken bij " : "interrupted at ") + at;
    }
    return "?";
}

std::string VerdictCause(const TTraceVerdict& v, std::uint8_t langIndex)
{
    const bool nl = langIndex == 1;
    const bool connect = v.Stage != TTraceStage::Shutdown && v.Stage != TTraceStage::Block;
    switch (v.Fault) {
    case TTraceFault::None:
        return nl ? "Elk blok is gelezen; wat misging kwam daarna, meestal het schrijven van het "
                    "dumpbestand (een map die niet bestaat, geen schrijfrecht, een volle schijf)."
                  : "Every block was read; what failed came after the exchange, usually writing "
                    "the dump file (a folder that does not exist, no permission, a full disk).";
    case TTraceFault::NothingExchanged:
        return nl ? "De server is niet aangesloten of niet gevonden: het programma zoekt USB-"
                    "apparaat 04d8:fe88. Controleer de kabel en of de server aan staat."
                  : "The server is not plugged in or was not found: the tool looks for USB "
                    "device 04d8:fe88. Check the cable and that the server is switched on.";
    case TTraceFault::PortNotOpened:
        return nl ? "Een ander programma houdt de poort open, of de gebruiker mag haar niet openen "
                    "(op Linux: lid van de groep dialout)."
                  : "Another program holds the port, or the user may not open it (on Linux: "
                    "membership of the dialout group).";
    case TTraceFault::NoAnswer:
        if (connect)
            return nl ? "De server antwoordt niet: hij staat uit, start nog op, of de kabel "
                        "geeft geen gegevens door."
                      : "The server does not answer: it is switched off, still starting, or the "
                        "cable passes no data.";
        return nl ? "De server hield midden in het uitlezen op met antwoorden: een losse kabel, "
                    "de server werd uitgeschakeld of herstart, of losgekoppeld."
                  : "The server stopped answering in the middle of the read-out: a loose cable, "
                    "the server was switched off or restarted, or it was unplugged.";
    case TTraceFault::WrongAnswer:
    case TTraceFault::ProbeOutOfStep:
        return nl ? "De server is in een andere toestand, of een ander apparaat antwoordt op deze "
                    "poort; schakel de server uit en weer aan en probeer opnieuw."
                  : "The server is in another state, or another device answers on this port; "
                    "switch the server off and on and try again.";
    case TTraceFault::WrongAck:
    case TTraceFault::WrongChecksum:
        return nl ? "Bytes zijn onderweg verminkt: een slechte kabel, storing of een USB-hub; "
                    "probeer opnieuw, met een andere kabel als het terugkomt."
                  : "Bytes were corrupted on the way: a bad cable, electrical noise or a USB hub; "
                    "try again, with another cable if it happens again.";
    case TTraceFault::Echo:
        return nl ? "De server herhaalt bytes die hij moet negeren: hij is niet in zijn gewone "
                    "toestand; schakel hem uit en weer aan."
                  : "The server echoes bytes it should ignore: it is not in its normal state; "
                    "switch it off and on.";
    case TTraceFault::LineLost:
        return nl ? "Het USB-apparaat verdween: de kabel werd losgetrokken, de server herstartte "
                    "of de hub verloor zijn voeding."
                  : "The USB device went away: the cable was pulled, the server restarted or the "
                    "hub lost power.";
    case TTraceFault::ShutdownRefused:
        return nl ? "De server nam het uitschakelcommando niet aan, meestal omdat hij bezig is; "
                    "lees hem uit zonder --shutdown, of probeer het later."
                  : "The server did not take the shutdown command, usually because it is busy; "
                    "read it out without --shutdown, or try again later.";
    case TTraceFault::IdentMismatch:
        return nl ? "Een apparaat antwoordde met een andere identificatie: geen server van deze "
                    "soort, of andere firmware."
                  : "A device answered with another identification: not a server of this kind, "
                    "or other firmware.";
    case TTraceFault::Stopped:
        return nl ? "De poging werd afgebroken (Ctrl+C, of Terug in het venster) voordat ze klaar "
                    "was."
                  : "The attempt was broken off (Ctrl+C, or Back in the window) before it ended.";
    }
    return "";
}

const char* StageName(TTraceStage stage)
{
    switch (stage) {
    case TTraceStage::Discovery:
        return "discovery";
    case TTraceStage::Port:
        return "port";
    case TTraceStage::Probe:
        return "probe";
    case TTraceStage::Wake:
        return "wake";
    case TTraceStage::Identification:
        return "identification";
    case TTraceStage::LinkCheck:
        return "link-check";
    case TTraceStage::Shutdown:
        return "shutdown";
    case TTraceStage::Block:
        return "block";
    case TTraceStage::ReadOut:
        return "read-out";
    }
    return "?";
}

const char* FaultName(TTraceFault fault)
{
    switch (fault) {
    case TTraceFault::None:
        return "none";
    case TTraceFault::NothingExchanged:
        return "nothing-exchanged";
    case TTraceFault::PortNotOpened:
        return "port-not-opened";
    case TTraceFault::NoAnswer:
        return "no-answer";
    case TTraceFault::WrongAnswer:
        return "wrong-answer";
    case TTraceFault::WrongAck:
        return "wrong-acknowledgement";
    case TTraceFault::WrongChecksum:
        return "wrong-checksum";
    case TTraceFault::Echo:
        return "echo";
    case TTraceFault::LineLost:
        return "line-lost";
    case TTraceFault::ShutdownRefused:
        return "shutdown-refused";
    case TTraceFault::IdentMismatch:
        return "identification-mismatch";
    case TTraceFault::ProbeOutOfStep:
        return "probe-out-of-step";
    case TTraceFault::Stopped:
        return "stopped";
    }
    return "?";
}
