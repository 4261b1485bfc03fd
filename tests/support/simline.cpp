#include "tests/support/simline.h"

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::uint32_t LineBaud = 9600;

TServerModel::TTime ModelTime(TClock::TInstant instant)
{
    return std::chrono::duration_cast<TServerModel::TTime>(instant.time_since_epoch());
}

TClock::TInstant ClockInstant(TServerModel::TTime time)
{
    return TClock::TInstant(std::chrono::duration_cast<TClock::TDuration>(time));
}

} // namespace

TSimOptions TSimLine::Paced(TSimOptions options)
{
    options.Baud = LineBaud;
    return options;
}

TSimLine::TSimLine(TSimClock& clock, TSimOptions options, TFaultKind kind, TFaultPosition position)
    : ClockRef(clock), Options(std::move(options)), Kind(kind), Position(position)
{
    std::lock_guard guard(Lock);
    Model = std::make_unique<TServerModel>(Options);
    Walk = std::make_unique<TFaultWalk>(Kind, Position);
    PlugIn();
}

void TSimLine::PlugIn()
{
    Name = "/dev/ttySIM" + std::to_string(Plug);
    ++Plug;
    IsPlugged = true;
    IsHeld = false;
    Stalled = Model->StalledFromStart();
    InFlight.clear();
}

std::string TSimLine::DeviceName() const
{
    std::lock_guard guard(Lock);
    return Name;
}

bool TSimLine::Plugged() const
{
    std::lock_guard guard(Lock);
    return IsPlugged;
}

bool TSimLine::Struck() const
{
    std::lock_guard guard(Lock);
    return Walk->Struck();
}

bool TSimLine::Held() const
{
    std::lock_guard guard(Lock);
    return IsHeld;
}

void TSimLine::Heal()
{
    Rearm(TFaultKind::None, Position);
}

void TSimLine::Rearm(TFaultKind kind, TFaultPosition position)
{
    std::lock_guard guard(Lock);
    Kind = kind;
    Position = position;
    Model = std::make_unique<TServerModel>(Options);
    Walk = std::make_unique<TFaultWalk>(Kind, Position);
    OfferedBytes.clear();
    Received.clear();
    Delivered.clear();
    Read.clear();
    AnswerCount = 0;
    TakenCount = 0;
    LastAt = {};
    InFlight.clear();
    Stalled = Model->StalledFromStart();
    if (!IsPlugged)
        PlugIn();
}

void TSimLine::Unplug()
{
    std::lock_guard guard(Lock);
    IsPlugged = false;
    IsHeld = false;
    InFlight.clear();
}

void TSimLine::Replug()
{
    std::lock_guard guard(Lock);
    const bool struck = Walk->Struck();
    Model = std::make_unique<TServerModel>(Options);
    Walk = std::make_unique<TFaultWalk>(struck ? TFaultKind::None : Kind, Position);
    PlugIn();
}

std::string TSimLine::Offered() const
{
    std::lock_guard guard(Lock);
    return OfferedBytes;
}

std::string TSimLine::FromTool() const
{
    std::lock_guard guard(Lock);
    return Received;
}

std::string TSimLine::ToTool() const
{
    std::lock_guard guard(Lock);
    return Delivered;
}

std::string TSimLine::ReadByTool() const
{
    std::lock_guard guard(Lock);
    return Read;
}

std::vector<std::string> TSimLine::Requests() const
{
    std::lock_guard guard(Lock);
    return Model->Requests();
}

std::vector<int> TSimLine::BlocksServed() const
{
    std::lock_guard guard(Lock);
    return Model->BlocksServed();
}

bool TSimLine::ShutdownSeen() const
{
    std::lock_guard guard(Lock);
    return Model->ShutdownSeen();
}

std::int32_t TSimLine::Attach(const std::string& name, std::uint64_t& plug)
{
    std::lock_guard guard(Lock);
    if (!IsPlugged || name != Name)
        return ENOENT;
    if (IsHeld)
        return EBUSY;
    IsHeld = true;
    plug = Plug;
    return 0;
}

void TSimLine::Detach()
{
    std::lock_guard guard(Lock);
    IsHeld = false;
    // A closed device keeps nothing for the next open.
    InFlight.clear();
}

bool TSimLine::Gone(std::uint64_t plug) const
{
    std::lock_guard guard(Lock);
    return !IsPlugged || Plug != plug;
}

std::size_t TSimLine::Arrived(TInstant now) const
{
    std::lock_guard guard(Lock);
    return static_cast<std::size_t>(std::count_if(InFlight.begin(), InFlight.end(),
                                                  [&](const auto& a) { return a.first <= now; }));
}

TClock::TInstant TSimLine::NextArrival() const
{
    std::lock_guard guard(Lock);
    return InFlight.empty() ? TInstant::max() : InFlight.front().first;
}

std::uint8_t TSimLine::Take()
{
    std::lock_guard guard(Lock);
    const std::uint8_t byte = InFlight.front().second;
    InFlight.pop_front();
    Read.push_back(static_cast<char>(byte));
    return byte;
}

std::size_t TSimLine::TakeInTime(std::uint8_t* out, std::size_t most, TInstant before,
                                 TInstant readDeadline, TDuration interval,
                                 TInstant& intervalDeadline, TInstant& now)
{
    std::lock_guard guard(Lock);
    std::size_t taken = 0;
    while (taken < most && !InFlight.empty()) {
        const auto [at, byte] = InFlight.front();
        if (at >= before || at > std::min(readDeadline, intervalDeadline))
            break;
        InFlight.pop_front();
        Read.push_back(static_cast<char>(byte));
        out[taken++] = byte;
        now = std::max(now, at);
        if (interval != TDuration::zero())
            intervalDeadline = now + interval;
    }
    return taken;
}

void TSimLine::DropArrived(TInstant now)
{
    std::lock_guard guard(Lock);
    while (!InFlight.empty() && InFlight.front().first <= now)
        InFlight.pop_front();
}

void TSimLine::Deliver(std::uint8_t byte, TInstant at)
{
    if (AnswerDelay)
        at += AnswerDelay(AnswerCount);
    ++AnswerCount;
    at = std::max(at, LastAt);
    LastAt = at;
    InFlight.emplace_back(at, byte);
    Delivered.push_back(static_cast<char>(byte));
}

std::size_t TSimLine::Offer(const std::uint8_t* bytes, std::size_t count, TInstant now)
{
    std::size_t taken = 0;
    std::vector<TServerModel::TAnswer> answers;
    std::unique_lock guard(Lock);
    OfferedBytes.append(reinterpret_cast<const char*>(bytes), count);
    for (std::size_t i = 0; i < count; ++i) {
        if (!IsPlugged || Stalled)
            break;
        const std::uint8_t byte = bytes[i];
        Received.push_back(static_cast<char>(byte));
        const std::size_t number = ++TakenCount;
        ++taken;
        const TFaultWalk::TToolStep step = Walk->OnToolByte(byte);
        if (step.HangUp) {
            IsPlugged = false;
            IsHeld = false;
            InFlight.clear();
        } else {
            for (char injected : step.Inject)
                Deliver(static_cast<std::uint8_t>(injected), now + Model->ByteTime());
            answers.clear();
            const TServerModel::TEffect effect = Model->Receive(byte, ModelTime(now), answers);
            for (TServerModel::TAnswer answer : answers) {
                if (Walk->OnServerByte(answer.Byte))
                    Deliver(answer.Byte, ClockInstant(answer.At));
            }
            if (effect == TServerModel::TEffect::HangUp) {
                IsPlugged = false;
                IsHeld = false;
                InFlight.clear();
            } else if (effect == TServerModel::TEffect::Stall || Walk->StallDue()) {
                Stalled = true;
            }
        }
        // Outside the lock: the hook may request Back or termination, or unplug the line.
        if (AfterToolByte) {
            guard.unlock();
            AfterToolByte(number);
            guard.lock();
        }
    }
    return taken;
}
