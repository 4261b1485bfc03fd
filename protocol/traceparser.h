#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The one reader of the trace format that protocol/traceentry.h writes. A trace is the attempt-
// start entry ("USB" and the device), then byte entries ("<n", "!<n", ">n", ">-1") and frame
// entries ("<n n ", ">n n ", each number followed by a space), every entry ended by a lone
// carriage return, numbers in decimal 0..255 without leading zeros. A "!" right after a
// frame-sent entry marks the failed write of that frame or the failed read of its answer; it
// stands alone, without a carriage return. Anything else is refused.

struct TTraceEntry
{
    enum TKind : std::uint8_t {
        AttemptStart,  // Device holds the port's name
        ByteSent,      // Value 0..255; Failed: its write failed ("!" in front)
        ByteReceived,  // Value 0..255, or -1 for no byte
        FrameSent,     // Bytes; Failed (in a parsed trace): its write or its answer's read failed
        FrameReceived, // Bytes
        FrameFailed,   // the "!" after a frame sent (only from TTraceReader)
    };
    TKind Kind = AttemptStart;
    bool Failed = false;
    int Value = -1;     // byte entries
    std::string Bytes;  // the byte of a byte entry (empty for -1), the bytes of a frame
    std::string Device; // the attempt-start entry
};

// Why a text is not a trace: the entry where reading stopped (from 0) and the reason.
struct TTraceError
{
    std::size_t Entry = 0;
    std::string Why;
    bool Unfinished = false; // the text ends inside this entry
};

// Reads a trace in pieces as the worker appends to it (a live record), or all at once. Entries
// are taken one at a time, so a reader that has seen enough stops without parsing the rest.
class TTraceReader
{
public:
    // More of the record.
    void Append(const std::string& text);
    // The next whole entry; none when the text so far holds no further whole entry, or after a
    // malformed one (Error).
    std::optional<TTraceEntry> Next();
    // Append, then every whole entry.
    std::vector<TTraceEntry> Feed(const std::string& text);
    // The record is over: a rest that is no whole entry becomes the error.
    void Finish();
    const std::optional<TTraceError>& Error() const { return Refusal; }

private:
    void Refuse(std::string why, bool unfinished = false);

    std::string Pending;
    std::size_t Pos = 0; // where the next entry begins in Pending
    std::size_t Entries = 0;
    bool Started = false;        // the attempt-start entry was read
    bool AfterFrameSent = false; // the last entry was a frame sent: a "!" may follow
    std::optional<TTraceError> Refusal;
};

// A whole trace: the device and the entries after the attempt start, with a frame's failure
// mark folded into its frame-sent entry (Failed).
struct TParsedTrace
{
    std::string Device; // empty for an empty trace
    std::vector<TTraceEntry> Entries;

    // Every byte written, in order: single bytes without a failure mark, and every frame (its
    // "!" may stand for the failed read of its answer, after the frame went out).
    std::string SentBytes() const;
    std::string ReceivedBytes() const; // every byte received, in order
};

// Parses a whole trace (an empty one included). Returns the reason, with the entry's number
// counted from 1, when the text is not a trace this tool writes.
std::optional<std::string> ParseTrace(const std::string& text, TParsedTrace& out);

// The device named by the trace's attempt-start entry (up to its carriage return); empty when
// the trace does not begin with one.
std::string TraceDevice(const std::string& trace);
