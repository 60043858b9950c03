// The font library keeps a cache for the life of the process that the leak
// checker reports when a test program ends; it is none of ours.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
