#pragma once
// The crash report for hardware faults (SIGSEGV, SIGBUS, SIGILL, SIGFPE), and the full
// symbol tables of loaded modules for the call stacks. What the report needs of the
// program around it (its log, its shut-down) the program hands over when it installs
// the handler, so this layer depends on nothing above it.
#include <cstdint>

struct CrashReportHooks {
  // At once when a fault is caught, before the report.
  void (*fault_caught)();
  // One line of the report. It must get through when the fault struck inside the
  // program's log, or while another thread holds the log's lock.
  void (*write_line)(const char* text);
  // What was written so far, to its file.
  void (*flush)();
  // On the main thread after the report: the orderly shut-down, guarded by a watchdog
  // of `watchdog_sec` seconds, and the exit with `message`. Never returns.
  void (*shut_down)(const char* message, unsigned watchdog_sec);
};

// Installs the handler on an alternate stack: once, at start-up, on the main thread.
void install_crash_handler(const CrashReportHooks& hooks);

// Reads the full symbol table of the loaded module found by `module_name`. When *base
// is 0 it is set to the module's base and *size to its size. False when no module of
// that name is mapped.
bool register_module_symbols(const char* module_name, uintptr_t* base, uint32_t* size);
// Drops the table of the module found by `module_name` (or mapped at *base); *base is
// set to the module's base when it was 0. False when no module of that name is mapped.
bool unregister_module_symbols(const char* module_name, uintptr_t* base);
