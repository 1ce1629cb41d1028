// GLib locks with futexes and lock bits of its own, which ThreadSanitizer cannot follow in an
// uninstrumented GLib: what happens inside GLib and between its threads (GDBus's worker) is
// left out of the reports. Read by ThreadSanitizer only.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libglib-2.0.so.0\n"
           "called_from_lib:libgobject-2.0.so.0\n"
           "called_from_lib:libgio-2.0.so.0\n"
           "race:libglib-2.0.so.0\n"
           "race:libgobject-2.0.so.0\n"
           "race:libgio-2.0.so.0\n"
           "mutex:libglib-2.0.so.0\n"
           "mutex:libgobject-2.0.so.0\n"
           "mutex:libgio-2.0.so.0\n";
}
