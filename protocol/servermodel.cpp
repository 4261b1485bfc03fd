#include "protocol/servermodel.h"

#include "protocol/checksum.h"
#include "protocol/constants.h"
#include "protocol/frame.h"
#include "protocol/identification.h"

#include <algorithm>

namespace {

// What the server sends on its own account: its refusal, and the two stray bytes it can be told
// to send ahead of its first probe answer.
constexpr std::uint8_t Nak = 0x15;
constexpr std::uint8_t StrayFirst = 0xFE;
constexpr std::uint8_t StraySecond = 0xFF;
constexpr auto ReadReplyCount = static_cast<std::uint8_t>(ReadOut::BlockSize);

} // namespace

std::string DefaultIdentification()
{
    return std::string("\x11") + "VADOZIROZA" + "K7Q2[9";
}

std::string PatternImage()
{
    // Every byte differs from its neighbours and every block from every other, so a block
    // read twice, skipped or reordered shows in a byte-for-byte comparison.
    std::string image(SimMemorySize, '\0');
    for (std::size_t k = 0; k < SimMemorySize; ++k)
        image[k] = static_cast<char>((k * 37 + k / 256 + 11) & 0xFF);
    return image;
}

TServerModel::TServerModel(TSimOptions options)
    : Options(std::move(options)),
      ByteDuration(Options.Baud == 0 ? TTime::zero() : TTime(11'000'000'000LL / Options.Baud))
{
}

TServerModel::TEffect TServerModel::Receive(std::uint8_t byte, TTime sent,
                                            std::vector<TAnswer>& answers)
{
    if (Ended)
        return TEffect::HangUp;
    Seen.push_back(static_cast<char>(byte));
    if (Options.HangUpAfter != 0 && Seen.size() >= Options.HangUpAfter)
        HangUpNow = true;
    if (!HangUpNow) {
        // The byte is complete at the server one byte time after the line is free for it.
        InFree = std::max(InFree, sent) + ByteDuration;
        Out = &answers;
        Dispatch(byte);
        Out = nullptr;
    }
    if (HangUpNow) {
        SeenHangUp = true;
        Ended = true;
        return TEffect::HangUp;
    }
    if (Options.StallAfter && Seen.size() >= *Options.StallAfter) {
        Ended = true;
        return TEffect::Stall;
    }
    return TEffect::None;
}

void TServerModel::Reset()
{
    State = TState::Wake;
    FirstProbe = true;
    Muted = false;
}

void TServerModel::Answer(std::uint8_t byte)
{
    if (Options.Silent || Muted)
        return;
    // The answer starts when the byte it answers is fully received and the line back is free.
    OutFree = std::max(OutFree, InFree) + ByteDuration;
    Out->push_back({OutFree, byte});
}

void TServerModel::Dispatch(std::uint8_t byte)
{
    const auto restart = [&] {
        Reset();
        Dispatch(byte);
    };
    const auto& ident = Options.Identification;
    switch (State) {
    case TState::Wake:
    case TState::Probe:
        if (byte == LinkByte::Probe && FirstProbe) {
            FirstProbe = false;
            if (Options.StrayBytes) {
                Answer(StrayFirst);
                Answer(StraySecond);
            }
            if (Options.ProbeReply != TProbeReply::Normal) {
                Answer(LinkByte::ProbeAnswer);
                State = TState::Probe;
                IdentIndex = 0;
                return;
            }
            Answer(LinkByte::WakeAnswer);
        } else if (byte == LinkByte::Wake) {
            Answer(LinkByte::WakeAnswer);
            State = TState::Wake;
        } else if (byte == LinkByte::ProbeContinuation && State == TState::Probe &&
                   Options.ProbeReply == TProbeReply::FiftyFiveThenIdent) {
            Answer(static_cast<std::uint8_t>('A' + IdentIndex++ % 26));
        } else if (byte == IdentificationByte(1)) {
            if (!ident.empty())
                Answer(static_cast<std::uint8_t>(ident[0]));
            State = TState::Ident2;
        }
        return;
    case TState::Ident2:
        if (byte != IdentificationByte(2))
            return restart();
        Answer(static_cast<std::uint8_t>(IdentificationRequiredAnswer(2)));
        State = TState::Ident3;
        return;
    case TState::Ident3:
        if (byte != IdentificationByte(3))
            return restart();
        Answer(static_cast<std::uint8_t>(IdentificationRequiredAnswer(3)));
        IdentIndex = 1;
        State = TState::IdentChars;
        return;
    case TState::IdentChars:
        if (byte != IdentificationByte(4))
            return restart();
        if (IdentIndex < ident.size())
            Answer(static_cast<std::uint8_t>(ident[IdentIndex]));
        if (++IdentIndex == IdentificationTextLength)
            State = TState::Link1;
        return;
    case TState::Link1:
        if (byte != LinkByte::LinkCheck)
            return restart();
        if (Options.EchoFirstLinkCheck)
            Answer(LinkByte::LinkCheck);
        State = TState::Link2;
        return;
    case TState::Link2:
        if (byte != LinkByte::LinkCheck)
            return restart();
        Answer(LinkByte::LinkCheck);
        State = TState::Header;
        return;
    case TState::Header:
        if (byte == LinkByte::Probe)
            return restart(); // no frame has an empty header: a new connect attempt
        [[fallthrough]];
    case TState::Body:
    case TState::Check:
    case TState::Poll:
        HandleFrameByte(byte);
        return;
    }
}

void TServerModel::HandleFrameByte(std::uint8_t byte)
{
    switch (State) {
    case TState::Header:
        Frame.assign(1, static_cast<char>(byte));
        RequestLength = byte & 0x3F;
        Block = -1;
        Muted = false;
        Answer(RequestLength == 0 ? FrameByte::AckHeaderAlone : FrameByte::AckHeader);
        State = RequestLength == 0 ? TState::Check : TState::Body;
        return;
    case TState::Body: {
        Frame.push_back(static_cast<char>(byte));
        const std::size_t index = Frame.size() - 1;
        if (index == 2 && static_cast<std::uint8_t>(Frame[1]) == ReadOut::ReadRequestLead &&
            byte >= ReadOut::ReadRequestBlockBase) {
            Block = byte - ReadOut::ReadRequestBlockBase;
            if (Block == Options.FaultBlock && Options.Fault == TBlockFault::HangUp) {
                HangUpNow = true;
                return;
            }
            if (Block == Options.FaultBlock && Options.Fault == TBlockFault::Silence)
                Muted = true;
        }
        Answer(index == RequestLength ? FrameByte::AckLastRequest : FrameByte::AckRequest);
        if (index == RequestLength)
            State = TState::Check;
        return;
    }
    case TState::Check: {
        const bool checksumGood =
            FrameChecksum(static_cast<std::uint8_t>(Frame[0]), Frame.substr(1)) == byte;
        Frame.push_back(static_cast<char>(byte));
        const auto header = static_cast<std::uint8_t>(Frame[0]);
        const bool flagged = (header & FrameByte::HeaderFlag) != 0;
        const bool isRead = flagged && RequestLength == 2 && Block >= 0;
        const bool isShutdown = !flagged && RequestLength == 1 &&
                                static_cast<std::uint8_t>(Frame[1]) == ReadOut::ShutdownCommand;
        SeenRequests.push_back(Frame);
        State = TState::Header;
        if (!checksumGood || (!isRead && !isShutdown)) {
            Answer(Nak);
            return;
        }
        if (isShutdown) {
            if (Options.RefuseShutdown) {
                Answer(Nak);
                return;
            }
            Answer(FrameByte::AckCommand);
            SeenShutdown = true;
            return;
        }
        const bool faulty = Block == Options.FaultBlock;
        Faulty = faulty && Options.Fault != TBlockFault::None;
        const std::uint8_t marker = ReplyMarker(ReadReplyCount);
        Answer(faulty && Options.Fault == TBlockFault::WrongAck ? FrameByte::AckCommand : marker);
        std::string data =
            Options.Memory.substr(static_cast<std::size_t>(Block) * ReadReplyCount, ReadReplyCount);
        data.resize(ReadReplyCount, '\0');
        std::uint8_t sum = ReplyChecksum(ReadReplyCount, data);
        if (faulty && Options.Fault == TBlockFault::WrongChecksum)
            sum ^= 0x01;
        ReplyData = static_cast<char>(sum) + data;
        if (faulty && Options.Fault == TBlockFault::ShortReply)
            ReplyData.pop_back();
        ReplyCount = ReadReplyCount;
        PollIndex = 0;
        State = TState::Poll;
        return;
    }
    case TState::Poll:
        if (byte != static_cast<std::uint8_t>(FrameByte::FirstPoll + PollIndex)) {
            Reset();
            Dispatch(byte);
            return;
        }
        if (PollIndex < ReplyData.size())
            Answer(static_cast<std::uint8_t>(ReplyData[PollIndex]));
        if (++PollIndex == static_cast<std::size_t>(ReplyCount) + 1) {
            State = TState::Header;
            if (!Muted && !Faulty && !Options.Silent)
                SeenBlocks.push_back(Block);
        }
        return;
    default:
        return;
    }
}
