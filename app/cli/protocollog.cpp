#include "app/cli/protocollog.h"

#include "serial/comerror.h"

#include <cstdio>

TProtocolLog::TProtocolLog(std::function<void()> wake) : Wake(std::move(wake)) {}

void TProtocolLog::Add(const std::string& text)
{
    if (!Wake)
        return;
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - Start).count();
    const std::string stamp = std::to_string(ms);
    Lines +=
        std::string(stamp.size() < 7 ? 7 - stamp.size() : 0, ' ') + stamp + " ms  " + text + "\n";
}

void TProtocolLog::AddSteps(const std::vector<TTraceStep>& steps)
{
    for (const TTraceStep& step : steps)
        Add(step.Text);
}

void TProtocolLog::TraceCleared()
{
    std::lock_guard guard(Lock);
    // The worker clears the record more than once as an attempt begins; only a record that
    // already holds something ends its walk, with its verdict, and starts a new one.
    if (Recording) {
        AddEnd();
        Walker = TTraceWalker();
        Recording = false;
    }
}

void TProtocolLog::TraceAppended(const std::string& text)
{
    {
        std::lock_guard guard(Lock);
        Recording = true;
        AddSteps(Walker.Feed(text));
    }
    if (Wake)
        Wake();
}

void TProtocolLog::PortStepDone(TPortStep step)
{
    {
        std::lock_guard guard(Lock);
        switch (step) {
        case TPortStep::Opened:
            Add("port opened: DTR off, RTS on");
            break;
        case TPortStep::DtrOn:
            Add("lines: DTR on, RTS on");
            break;
        case TPortStep::RtsOff:
            Add("lines: DTR on, RTS off");
            break;
        case TPortStep::InputPurged:
            Add("input purged");
            break;
        case TPortStep::Accepted:
            Add("server accepted: read timeout 350 ms from here on");
            break;
        }
    }
    if (Wake)
        Wake();
}

void TProtocolLog::PortFailed(const char* operation, const std::exception& error)
{
    const auto* com = dynamic_cast<const EComError*>(&error);
    // A missing answer is a timeout: its exchange's line says so already.
    if (com != nullptr && com->Kind() == ekTimeout)
        return;
    {
        std::lock_guard guard(Lock);
        const std::string op = operation;
        if ((com != nullptr && com->Kind() == ekDeviceGone) || op == "input count")
            Walker.NoteLineLost();
        Add(op + " failed: " + error.what());
    }
    if (Wake)
        Wake();
}

void TProtocolLog::InputOutOfStep(std::int32_t waiting)
{
    {
        std::lock_guard guard(Lock);
        Add(std::to_string(waiting) +
            " bytes were already waiting: out of step, taken as no answer and left unread");
    }
    if (Wake)
        Wake();
}

std::string TProtocolLog::TakeLines()
{
    std::lock_guard guard(Lock);
    std::string lines;
    lines.swap(Lines);
    return lines;
}

std::string TProtocolLog::Finish()
{
    std::lock_guard guard(Lock);
    AddEnd();
    std::string lines;
    lines.swap(Lines);
    return lines;
}

void TProtocolLog::AddEnd()
{
    AddSteps(Walker.Finish());
    if (Walker.Error())
        Add("the record could not be decoded: " + *Walker.Error());
    else if (Walker.Verdict().Complete())
        Add("complete: " + VerdictText(Walker.Verdict(), 0));
    else
        Add("stopped: " + VerdictText(Walker.Verdict(), 0));
}

TTraceVerdict TProtocolLog::Verdict() const
{
    std::lock_guard guard(Lock);
    return Walker.Verdict();
}
