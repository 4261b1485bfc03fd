#include "protocol/constants.h"
#include "protocol/frame.h"
#include "worker/serthread.h"
#include "worker/workerhost.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

void TSerThread::ShowProgress()
{
    Host().ShowProgress(ProgressPercent);
}

void TSerThread::ReadMemory()
{
    if (ResultCode() != srSuccess || Terminated() || BackRequested())
        return;
    std::vector<char> buffer(ReadOut::MemorySize);
    ProgressPercent = 0;
    SetDumpFileError("");
    std::string reply;

    if (Host().ShutdownChecked())
        Transact(ShutdownRequest(), false, 0, reply);

    std::size_t count = 0;
    while (count < ReadOut::MemorySize && LinkOk && !Terminated() && !BackRequested()) {
        const auto block = static_cast<int>(count / ReadOut::BlockSize);
        Transact(ReadRequest(block), true, ReadOut::BlockSize, reply);
        Received = reply;
        // An empty reply with the link still good: a Back or a close arrived between the loop's
        // test and the transaction's own, which then sent nothing. The block is not counted.
        if (!LinkOk || reply.empty())
            continue;
        std::copy_n(reply.data() + 1, ReadOut::BlockSize, buffer.data() + count);
        count += ReadOut::BlockSize;
        const auto percent = static_cast<std::uint8_t>(count * 25 / 384);
        if (ProgressPercent >= percent)
            continue;
        ProgressPercent = percent;
        if (!Terminated() && !BackRequested())
            Synchronize([this] { ShowProgress(); });
    }

    if (!LinkOk && !Terminated() && !BackRequested()) {
        SetResultCode(srCommError); // the link was lost: an earlier dump file keeps its content
        return;
    }

    // Written once, after the read: also the blocks read before a Back or a close. Only to a
    // regular file: a FIFO would block the worker until some reader came, a device would take
    // the memory away without a trace.
    std::string error;
    const long written = Host().WriteDump(DumpFileName(), buffer.data(), count, error);
    if (written >= 0 && written != static_cast<long>(count))
        error = std::generic_category().message(static_cast<int>(std::errc::no_space_on_device));
    SetDumpFileError(error);
    if (Terminated() || BackRequested() || count != ReadOut::MemorySize ||
        written != static_cast<long>(ReadOut::MemorySize))
        SetResultCode(srFileError);
    else
        Synchronize([this] { Host().AddRecent(); });
}
