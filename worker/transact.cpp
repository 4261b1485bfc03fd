#include "protocol/frame.h"
#include "protocol/traceentry.h"
#include "serial/comport.h"
#include "worker/serthread.h"

#include <optional>
#include <string>

void TSerThread::Transact(const std::string& request, bool headerFlag, std::uint8_t replyCount,
                          std::string& reply)
{
    reply.clear();
    if (ResultCode() != srSuccess || Terminated() || BackRequested())
        return;
    TComPort& port = SerIF();
    // The poll bytes go out in the same write, so the whole answer comes back in one read.
    Received = FrameWrite(request, headerFlag, replyCount);
    const std::size_t toRead = AnswerLength(request.size(), replyCount);

    const auto mayTalk = [&] {
        return ResultCode() == srSuccess && LinkOk && !Terminated() && !BackRequested();
    };
    if (mayTalk()) {
        AppendTrace(FrameSentEntry(Received));
        try {
            port.WriteString(Received);
        } catch (const std::exception& e) {
            NotePortFailure("write", e);
            AppendTrace(FailureMark());
            LinkOk = false;
        }
    }
    bool answered = false;
    if (mayTalk()) {
        std::string answer(toRead, '\0');
        try {
            port.Read(answer.data(), static_cast<std::int32_t>(toRead), true);
            Received = answer;
            answered = true;
            AppendTrace(FrameReceivedEntry(Received));
        } catch (const std::exception& e) {
            NotePortFailure("read", e);
            AppendTrace(FailureMark());
            LinkOk = false;
        }
    }

    const std::optional<std::string> checked =
        answered ? CheckedReply(Received, request.size(), replyCount) : std::nullopt;
    if (Terminated() || BackRequested() || !checked) {
        LinkOk = false;
        return;
    }
    reply = *checked;
}
