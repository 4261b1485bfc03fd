// Built into ThreadSanitizer builds only. umockdev hands data to its worker thread through
// GLib's main-context calls, whose locking lives in the uninstrumented GLib library, so
// ThreadSanitizer reports races inside umockdev and GLib that their locks do prevent.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libumockdev.so.0\n"
           "race:libglib-2.0.so.0\n";
}
