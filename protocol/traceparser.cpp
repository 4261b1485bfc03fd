#include "protocol/traceparser.h"

#include "protocol/traceentry.h"

#include <utility>

namespace {

constexpr std::size_t AttemptStartLength = sizeof TraceMark::AttemptStart - 1;

bool StartsWithAttemptMark(const std::string& text)
{
    return text.compare(0, AttemptStartLength, TraceMark::AttemptStart) == 0;
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

// One entry after the attempt start, without its carriage return.
std::optional<TTraceEntry> ParseEntry(const std::string& token)
{
    TTraceEntry entry;
    std::string rest = token;
    if (!rest.empty() && rest[0] == TraceMark::Failed) {
        entry.Failed = true;
        rest.erase(0, 1);
    }
    if (rest.size() < 2 || (rest[0] != TraceMark::Sent && rest[0] != TraceMark::Received))
        return std::nullopt;
    const bool sent = rest[0] == TraceMark::Sent;
    // Only a byte sent carries its failure in front.
    if (entry.Failed && !sent)
        return std::nullopt;
    const std::string body = rest.substr(1);
    if (body.back() != ' ') {
        entry.Kind = sent ? TTraceEntry::ByteSent : TTraceEntry::ByteReceived;
        if (!sent && body == "-1")
            return entry;
        if (!ParseByte(body, entry.Value))
            return std::nullopt;
        entry.Bytes.assign(1, static_cast<char>(entry.Value));
        return entry;
    }
    if (entry.Failed)
        return std::nullopt;
    entry.Kind = sent ? TTraceEntry::FrameSent : TTraceEntry::FrameReceived;
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

const char* const NoAttemptStart = "no attempt-start entry (\"USB\" and the device)";

} // namespace

void TTraceReader::Refuse(std::string why, bool unfinished)
{
    if (!Refusal)
        Refusal = TTraceError{Entries, std::move(why), unfinished};
}

void TTraceReader::Append(const std::string& text)
{
    if (Refusal)
        return;
    // What was read is dropped once it is the larger part, so appending stays linear.
    if (Pos > Pending.size() / 2) {
        Pending.erase(0, Pos);
        Pos = 0;
    }
    Pending += text;
}

std::optional<TTraceEntry> TTraceReader::Next()
{
    if (Refusal || Pos >= Pending.size())
        return std::nullopt;
    // A "!" right after a frame marks its failure; before a byte it belongs to that byte's entry.
    if (AfterFrameSent && Pending[Pos] == TraceMark::Failed) {
        ++Pos;
        ++Entries;
        AfterFrameSent = false;
        TTraceEntry mark;
        mark.Kind = TTraceEntry::FrameFailed;
        return mark;
    }
    const std::size_t end = Pending.find(TraceMark::End, Pos);
    if (end == std::string::npos)
        return std::nullopt;
    const std::string token = Pending.substr(Pos, end - Pos);
    Pos = end + 1;
    std::optional<TTraceEntry> entry;
    if (!Started) {
        if (StartsWithAttemptMark(token)) {
            entry.emplace();
            entry->Kind = TTraceEntry::AttemptStart;
            entry->Device = token.substr(AttemptStartLength);
            Started = true;
        }
    } else {
        entry = ParseEntry(token);
    }
    if (!entry) {
        Refuse(Started ? "not a byte or frame entry" : NoAttemptStart);
        return std::nullopt;
    }
    AfterFrameSent = entry->Kind == TTraceEntry::FrameSent;
    ++Entries;
    return entry;
}

std::vector<TTraceEntry> TTraceReader::Feed(const std::string& text)
{
    Append(text);
    std::vector<TTraceEntry> out;
    while (auto entry = Next())
        out.push_back(std::move(*entry));
    return out;
}

void TTraceReader::Finish()
{
    if (Refusal || Pos >= Pending.size())
        return;
    const std::string rest = Pending.substr(Pos);
    Refuse(!Started && !StartsWithAttemptMark(rest) ? NoAttemptStart
                                                    : "the record ends inside an entry",
           true);
}

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
    TTraceReader reader;
    std::vector<TTraceEntry> entries = reader.Feed(text);
    reader.Finish();
    if (const auto& error = reader.Error())
        return "entry " + std::to_string(error->Entry + 1) + ": " + error->Why;
    for (TTraceEntry& entry : entries) {
        if (entry.Kind == TTraceEntry::AttemptStart)
            out.Device = entry.Device;
        else if (entry.Kind == TTraceEntry::FrameFailed)
            out.Entries.back().Failed = true; // the reader gives it only after a frame sent
        else
            out.Entries.push_back(std::move(entry));
    }
    return std::nullopt;
}

std::string TraceDevice(const std::string& trace)
{
    if (!StartsWithAttemptMark(trace))
        return "";
    return trace.substr(AttemptStartLength, trace.find(TraceMark::End) - AttemptStartLength);
}
