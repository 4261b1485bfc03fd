#pragma once

#include <optional>
#include <string>
#include <vector>

// One entry of a worker trace: a byte or a frame sent or received.
struct TTraceEntry
{
    enum TKind : unsigned char { ByteSent, ByteReceived, FrameSent, FrameReceived };
    TKind Kind = ByteSent;
    std::string Bytes;   // the byte or frame; empty for a byte received as -1
    bool Failed = false; // "!": a failed byte write, a failed frame write or a failed frame read
};

struct TParsedTrace
{
    std::string Device; // from the attempt-start entry; the trace may also be empty
    std::vector<TTraceEntry> Entries;

    // Every byte written, in order: single bytes without a failure mark, and every frame (its
    // "!" may stand for the failed read of its answer, after the frame went out).
    std::string SentBytes() const;
    std::string ReceivedBytes() const; // every byte received, in order
};

// Parses a worker trace: an attempt-start entry "USB" + device + CR, then byte entries ("<n",
// "!<n", ">n", ">-1") and frame entries ("<n n ", ">n n ", each number followed by a space), every
// entry ended by a lone CR, numbers in decimal 0..255 without leading zeros. A "!" after a
// frame-sent entry marks its failed write or the failed read of its answer. Returns the reason
// when the text is not such a trace.
std::optional<std::string> ParseTrace(const std::string& text, TParsedTrace& out);
