// Linked into the test programs that draw text: the font and text libraries keep process-wide caches
// (font configuration, font maps, shaping caches) that they never free, which the leak checker of the
// sanitizer build would report at exit. Only those libraries are excused; leaks in our code, cairo or
// Xlib calls of our own still fail the run. Keep in step with tests/gui-leaks.supp.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libpangocairo-1.0.so\n"
           "leak:libharfbuzz.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n";
}
