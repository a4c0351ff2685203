// Sanitizer settings for every test binary. Fontconfig keeps caches that it
// never frees; those are not our leaks.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libQt6Gui.so\n"
         "leak:libdbus-1.so\n";
}
