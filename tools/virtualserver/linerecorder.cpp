#include "tools/virtualserver/linerecorder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/ioctl.h>
#include <umockdev.h>

TLineRecorder::TLineRecorder() : Start(std::chrono::steady_clock::now()) {}

void TLineRecorder::Opened()
{
    std::lock_guard<std::mutex> guard(Lock);
    Dtr = Rts = true;
    WriteNoted = false;
    Note("open " + Lines());
}

void TLineRecorder::Written()
{
    std::lock_guard<std::mutex> guard(Lock);
    if (WriteNoted)
        return;
    WriteNoted = true;
    Note("write");
}

int TLineRecorder::Apply(unsigned long request, int bits)
{
    std::lock_guard<std::mutex> guard(Lock);
    const bool oldDtr = Dtr;
    const bool oldRts = Rts;
    const bool dtr = (bits & TIOCM_DTR) != 0;
    const bool rts = (bits & TIOCM_RTS) != 0;
    if (request == TIOCMSET) {
        Dtr = dtr;
        Rts = rts;
    } else if (request == TIOCMBIS) {
        Dtr = Dtr || dtr;
        Rts = Rts || rts;
    } else if (request == TIOCMBIC) {
        Dtr = Dtr && !dtr;
        Rts = Rts && !rts;
    }
    if (Dtr != oldDtr || Rts != oldRts) {
        WriteNoted = false;
        Note(Lines());
    }
    return (Dtr ? TIOCM_DTR : 0) | (Rts ? TIOCM_RTS : 0);
}

std::vector<std::string> TLineRecorder::Events() const
{
    std::lock_guard<std::mutex> guard(Lock);
    return Log;
}

bool TLineRecorder::Write(const std::string& path) const
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::string& line : Events())
        out << line << '\n';
    out.close();
    return static_cast<bool>(out);
}

void TLineRecorder::Note(const std::string& what)
{
    const auto elapsed = std::chrono::steady_clock::now() - Start;
    const double ms = std::chrono::duration<double, std::milli>(elapsed).count();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.3f ", ms);
    Log.push_back(stamp + what);
}

std::string TLineRecorder::Lines() const
{
    return std::string("DTR=") + (Dtr ? "1" : "0") + " RTS=" + (Rts ? "1" : "0");
}

// ---- The GObject subclass of UMockdevIoctlBase ------------------------------------------------

namespace {

struct TLineHandler
{
    UMockdevIoctlBase Parent;
    TLineRecorder* Recorder;
};

struct TLineHandlerClass
{
    UMockdevIoctlBaseClass ParentClass;
};

GType LineHandlerType();

TLineRecorder& RecorderOf(UMockdevIoctlBase* self)
{
    return *G_TYPE_CHECK_INSTANCE_CAST(self, LineHandlerType(), TLineHandler)->Recorder;
}

gboolean HandleIoctl(UMockdevIoctlBase* self, UMockdevIoctlClient* client)
{
    const gulong request = umockdev_ioctl_client_get_request(client);
    if (request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC) {
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        if (value == nullptr) {
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        int bits = 0;
        if (request != TIOCMGET)
            std::memcpy(&bits, value->data, sizeof bits);
        bits = RecorderOf(self).Apply(request, bits);
        if (request == TIOCMGET)
            umockdev_ioctl_data_update(value, 0, reinterpret_cast<guint8*>(&bits), sizeof bits);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    // umockdev's own tty emulation fails FIONREAD, TIOCEXCL and others: run the request on the
    // client's real descriptor, which is the pseudo-terminal's slave.
    int error = 0;
    const int result = umockdev_ioctl_client_execute(client, &error, nullptr);
    umockdev_ioctl_client_complete(client, result, result < 0 ? error : 0);
    return TRUE;
}

gboolean HandleWrite(UMockdevIoctlBase* self, UMockdevIoctlClient*)
{
    RecorderOf(self).Written();
    return FALSE; // not handled: the client writes to the pseudo-terminal itself
}

void ClientConnected(UMockdevIoctlBase* self, UMockdevIoctlClient*)
{
    RecorderOf(self).Opened();
}

void ClassInit(gpointer klass, gpointer)
{
    auto* base = static_cast<UMockdevIoctlBaseClass*>(klass);
    base->handle_ioctl = HandleIoctl;
    base->handle_write = HandleWrite;
    base->client_connected = ClientConnected;
}

GType LineHandlerType()
{
    static const GType type = [] {
        GTypeInfo info{};
        info.class_size = sizeof(TLineHandlerClass);
        info.class_init = ClassInit;
        info.instance_size = sizeof(TLineHandler);
        return g_type_register_static(UMOCKDEV_TYPE_IOCTL_BASE, "SrvdiagLineHandler", &info,
                                      GTypeFlags(0));
    }();
    return type;
}

} // namespace

UMockdevIoctlBase* NewLineHandler(TLineRecorder& recorder)
{
    auto* handler = static_cast<TLineHandler*>(g_object_new(LineHandlerType(), nullptr));
    handler->Recorder = &recorder;
    return &handler->Parent;
}
