// The floor of any process start: an entry point that only exits, built the
// way the launcher is (no C runtime, KERNEL32 alone), so that the benchmark
// can express the launcher's overhead in empty process starts.
#include "kernel32.h"

extern "C" [[noreturn]] void EmptyEntry() { ExitProcess(0); }
