// Built into ThreadSanitizer builds only. umockdev hands data to its worker thread through
// GLib's main-context calls, whose locking lives in the uninstrumented GLib library, so
// ThreadSanitizer reports races inside umockdev and GLib that their locks do prevent. The same
// holds for the descriptors umockdev's worker accepts through GIO (its ioctl sockets) while a
// server is unplugged and plugged in again on the main thread, which the preload library looks at.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libumockdev.so.0\n"
           "race:libumockdev-preload.so.0\n"
           "race:libgio-2.0.so.0\n"
           "race:libglib-2.0.so.0\n";
}
