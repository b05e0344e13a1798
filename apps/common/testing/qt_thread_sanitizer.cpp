// Qt comes uninstrumented from the distribution and hands work between its own threads
// through futexes the thread sanitizer cannot see (painting splits large blends over a
// thread pool, for one), so what Qt's code allocates, frees and copies on those threads
// shows up as races. The sanitizer leaves calls made from Qt's libraries alone; the
// project's own code stays checked. Compiled into each test program that uses this
// support, since the sanitizer looks the function up in the executable.
#if defined(__SANITIZE_THREAD__)
#define QT_TESTS_UNDER_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QT_TESTS_UNDER_THREAD_SANITIZER 1
#endif
#endif

#ifdef QT_TESTS_UNDER_THREAD_SANITIZER
extern "C" const char* __tsan_default_suppressions() {
  // GLib runs the event dispatcher of Qt's pooled threads; libpng writes pictures that
  // those threads painted.
  return "called_from_lib:libQt6Core.so.6\n"
         "called_from_lib:libQt6Gui.so.6\n"
         "called_from_lib:libglib-2.0.so.0\n"
         "called_from_lib:libpng16.so.16\n";
}
#endif
