#pragma once
// Fatal errors, consistency checks and the crash report.
#include <cstdint>

// Set by fatal before anything else; for others to read.
extern bool fatal_error_happened;

// Reports an unrecoverable error: standard error, the log with the call stack, the
// error box, then the orderly shut-down; ends the process with exit code 100.
[[noreturn]] void fatal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The failure path of ASSERT: fatal with "%s(%d): failed ASSERT(%s)" and the
// source file's name (directories stripped), the line and the expression text.
[[noreturn]] void assert_failed(const char* expr, const char* file, int line);

// Consistency check, active in every build.
#define ASSERT(expr)                                  \
  do {                                                \
    if (!(expr)) [[unlikely]]                         \
      assert_failed(#expr, __FILE__, __LINE__);       \
  } while (0)

// Logs "ERROR: %s" and shows the error box titled "<app title> - FATAL ERROR".
void error_message(const char* text);

// The orderly shut-down, then ends the process with `code`.
[[noreturn]] void quit_game(int code);

// Logs the current call stack, prefixed with "msg: " when msg is given. `skip`
// frames are omitted above debug_dump_stack itself (fatal passes 1).
void debug_dump_stack(const char* msg, int skip);

// Installs the crash report for hardware faults (SIGSEGV, SIGBUS, SIGILL, SIGFPE).
// Called once at start-up, after the log is usable, on the main thread.
void set_except_report_handler();

// Registers a loaded module (a shared library) for the call stacks' symbol
// lookup. A base of 0 looks the module up by name. True when it was found.
bool symhlp_load(const char* module_name, uintptr_t base, uint32_t size);
bool symhlp_unload(const char* module_name, uintptr_t base);

// The engine's own exception type for hardware faults. On this platform a fault
// cannot be thrown out of a signal handler, so the crash handler ends in fatal
// directly; program entry may still catch it from code that throws it.
struct MyException {
  int code = 0;
};

// Seams for the layers above the core:
// - the window layer shows a real message box (title, text); without one the
//   error box is written to standard error;
// - the shell installs its orderly shut-down (close_all_systems), which fatal
//   and quit_game run; until then there is nothing to shut down.
using ErrorBoxFunc = void (*)(const char* title, const char* text);
using ShutdownFunc = void (*)();
void set_error_box_handler(ErrorBoxFunc show);
void set_close_all_systems(ShutdownFunc close_all);

// Runs the installed shut-down at most once at a time. A call made while the
// shut-down is already running on this thread (a fault inside a close step)
// returns at once without running it again; true when the shut-down ran.
bool run_close_all_systems();

// After a hardware fault: the next orderly shut-down runs under the watchdog, which
// ends the process with exit code 100 when it does not finish within `seconds` (a
// lock it needs may be held for good by the faulting code or another thread).
// Async-signal-safe.
void guard_next_shutdown(unsigned seconds);
