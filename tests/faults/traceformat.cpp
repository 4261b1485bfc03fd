#include "tests/faults/traceformat.h"

namespace {

// Reads a decimal byte value (or -1 when allowed) up to a space or CR; false when malformed.
bool ReadNumber(const std::string& text, std::size_t& pos, bool allowMinusOne, int& value)
{
    if (allowMinusOne && text.compare(pos, 2, "-1") == 0) {
        pos += 2;
        value = -1;
        return true;
    }
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        if (pos - start > 3)
            return false;
    }
    if (pos == start || value > 255)
        return false;
    return !(text[start] == '0' && pos - start > 1);
}

// One "<..." or ">..." entry starting after its direction character. A single number ended by
// CR is a byte entry, numbers each followed by a space and then CR a frame entry.
std::optional<std::string> ReadEntry(const std::string& text, std::size_t& pos, bool received,
                                     TTraceEntry& entry)
{
    int value = 0;
    if (!ReadNumber(text, pos, received, value))
        return "bad number at " + std::to_string(pos);
    if (pos < text.size() && text[pos] == '\r') {
        ++pos;
        entry.Kind = received ? TTraceEntry::ByteReceived : TTraceEntry::ByteSent;
        if (value >= 0)
            entry.Bytes.assign(1, static_cast<char>(value));
        return std::nullopt;
    }
    if (value < 0)
        return "-1 in a frame at " + std::to_string(pos);
    entry.Kind = received ? TTraceEntry::FrameReceived : TTraceEntry::FrameSent;
    for (;;) {
        if (pos >= text.size() || text[pos] != ' ')
            return "frame number not followed by a space at " + std::to_string(pos);
        entry.Bytes.push_back(static_cast<char>(value));
        ++pos;
        if (pos < text.size() && text[pos] == '\r') {
            ++pos;
            return std::nullopt;
        }
        if (!ReadNumber(text, pos, false, value))
            return "bad frame number at " + std::to_string(pos);
    }
}

} // namespace

std::string TParsedTrace::SentBytes() const
{
    std::string bytes;
    for (const TTraceEntry& e : Entries)
        if ((e.Kind == TTraceEntry::ByteSent && !e.Failed) || e.Kind == TTraceEntry::FrameSent)
            bytes += e.Bytes;
    return bytes;
}

std::string TParsedTrace::ReceivedBytes() const
{
    std::string bytes;
    for (const TTraceEntry& e : Entries)
        if (e.Kind == TTraceEntry::ByteReceived || e.Kind == TTraceEntry::FrameReceived)
            bytes += e.Bytes;
    return bytes;
}

std::optional<std::string> ParseTrace(const std::string& text, TParsedTrace& out)
{
    out = {};
    if (text.empty())
        return std::nullopt;
    if (text.compare(0, 3, "USB") != 0)
        return std::string("no attempt-start entry");
    const std::size_t end = text.find('\r');
    if (end == std::string::npos)
        return std::string("attempt-start entry not ended");
    out.Device = text.substr(3, end - 3);
    std::size_t pos = end + 1;
    bool frameMayFail = false; // the last entry was a frame sent, or a failed frame write
    while (pos < text.size()) {
        TTraceEntry entry;
        const char c = text[pos];
        if (c == '!' && pos + 1 < text.size() && text[pos + 1] == '<' && !frameMayFail) {
            pos += 2;
            if (auto error = ReadEntry(text, pos, false, entry))
                return error;
            if (entry.Kind != TTraceEntry::ByteSent)
                return "failed-write mark before a frame at " + std::to_string(pos);
            entry.Failed = true;
        } else if (c == '!') {
            if (!frameMayFail)
                return "stray ! at " + std::to_string(pos);
            ++pos;
            out.Entries.back().Failed = true;
            frameMayFail = false;
            continue;
        } else if (c == '<' || c == '>') {
            ++pos;
            if (auto error = ReadEntry(text, pos, c == '>', entry))
                return error;
        } else {
            return "unknown entry at " + std::to_string(pos);
        }
        frameMayFail = entry.Kind == TTraceEntry::FrameSent;
        out.Entries.push_back(std::move(entry));
    }
    return std::nullopt;
}
