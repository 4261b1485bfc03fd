#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Decoding of the worker's trace: the record of one connect and read attempt, one entry per byte
// or frame sent or received, each ended by a carriage return ("USB" + device, "<n", "!<n",
// ">n", ">-1", "<n n ... ", ">n n ... ", and "!" after a frame whose write or read failed).
// The walk follows the protocol as the worker runs it (probe, wake, identification, link check,
// shutdown command, block reads), turns the entries into one decoded step per exchange and ends
// with a verdict: where and why the attempt stopped, or that it was complete.

// Where an attempt stopped.
enum class TTraceStage : std::uint8_t {
    Discovery,      // nothing was exchanged: no server was found
    Port,           // the attempt started, but not one byte went out: the port did not open
    Probe,          // the first byte and its continuations
    Wake,           // the wake bytes
    Identification, // the 19 identification steps (Step 1 to 19)
    LinkCheck,      // the two link-check bytes (Step 1 or 2)
    Shutdown,       // the shutdown command
    Block,          // the read request of block Block
    ReadOut,        // all 128 blocks were read: what failed came after the exchange
};

// Why it stopped.
enum class TTraceFault : std::uint8_t {
    None,             // the exchange was complete (Stage ReadOut)
    NothingExchanged, // the trace is empty (Stage Discovery)
    PortNotOpened,    // only the attempt-start entry (Stage Port)
    NoAnswer,         // an awaited answer did not come (or not in full, for a frame)
    WrongAnswer,      // an answer byte other than the one required (Expected, Received)
    WrongAck,         // a frame acknowledgement differs (Expected, Received)
    WrongChecksum,    // a block's reply checksum differs from the one computed
    Echo,             // the server answered the first link-check byte, which it must not
    LineLost,         // a byte or frame could not be written: the device went away
    ShutdownRefused,  // the shutdown command was not acknowledged with 7
    IdentMismatch,    // 19 good identification steps, but not the expected text
    ProbeOutOfStep,   // the server kept identifying on the probe: waking cannot help it
    Stopped,          // the record ends with no failure before the read-out was done
};

// The outcome of a walk.
struct TTraceVerdict
{
    TTraceStage Stage = TTraceStage::Discovery;
    TTraceFault Fault = TTraceFault::NothingExchanged;
    int Step = 0;       // identification step 1..19, link-check byte 1..2; else 0
    int Block = -1;     // the block 0..127 for Stage Block; else -1
    int Expected = -1;  // the byte required, for WrongAnswer and WrongAck; -1 when none
    int Received = -1;  // the byte that came instead (-1: none)
    int BlocksRead = 0; // blocks whose reply was good, 0..128
    std::string Device; // from the attempt-start entry; empty for an empty trace
    // The identification text's 17 bytes as far as they came (step 1's answer, then the
    // identification characters); empty when identification did not get that far.
    std::string Identification;

    bool Complete() const { return Fault == TTraceFault::None; }
};

// One decoded step of the walk: an exchange (a byte and its answer, a frame and its answer) or
// an event of the attempt.
struct TTraceStep
{
    std::size_t Entry = 0; // index of the step's first entry in the trace, from 0
    TTraceStage Stage = TTraceStage::Discovery;
    int Step = 0;     // as in TTraceVerdict; the probe continuation or wake exchange number too
    int Block = -1;   // for Stage Block
    bool Ok = true;   // the answer was the one required
    std::string Text; // the decoded line, in English (e.g. "identification step 1: sent 0x80 ...")
};

// The walk: the steps, the verdict, or why the text is no trace this tool writes.
struct TTraceWalk
{
    std::vector<TTraceStep> Steps;
    TTraceVerdict Verdict;
    std::optional<std::string> Error; // damaged or foreign; Steps and Verdict then hold the
                                      // walk up to the bad entry
};

// A byte as the walk names it: "0x3F", or "none" for no byte (-1).
std::string ByteHex(int value);

// Walks a whole trace (the trace file's bytes).
TTraceWalk WalkTrace(const std::string& trace);

// The walk fed one entry at a time, as the worker appends them: for a live protocol log. Each
// Feed returns the steps that entry completed (usually none or one).
class TTraceWalker
{
public:
    TTraceWalker();
    ~TTraceWalker();
    TTraceWalker(TTraceWalker&&) noexcept;
    TTraceWalker& operator=(TTraceWalker&&) noexcept;

    // text: what the worker appended to its trace, any number of whole or partial entries.
    std::vector<TTraceStep> Feed(const std::string& text);
    // The record is over: the steps still pending (an exchange whose answer never came) and
    // the verdict.
    std::vector<TTraceStep> Finish();
    const TTraceVerdict& Verdict() const;
    const std::optional<std::string>& Error() const;
    // The device was reported gone while the record was open: a missing answer or failed
    // write from here on is a lost line.
    void NoteLineLost();

private:
    struct TState;
    std::unique_ptr<TState> State;
};
