// Fontconfig, which Qt's widgets load, keeps its caches to the end of the run.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
