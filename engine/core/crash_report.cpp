// The engine's side of the crash report: the platform's fault handler writes its lines
// into the log and ends through fatal, as program entry does with a crash; the symbol
// registrations and the stack dumps are logged.
#include <cstdio>

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "platform/debug/crash.h"
#include "platform/debug/stack.h"
#include "platform/win32/program_path.h"

namespace {

void mark_fatal_error() {
  fatal_error_happened = true;
}

// The fault may have struck inside the log (its mutex held by this thread) or while
// another thread held it: then the line is written without the locks rather than never.
void write_report_line(const char* text) {
  if (log_lock_for_report()) {
    log_unlock_for_report();
    debug("%s", text);
  } else {
    debug_unlocked("%s", text);
  }
}

void shut_down_after_fault(const char* message, unsigned watchdog_sec) {
  guard_next_shutdown(watchdog_sec);
  fatal("%s", message);
}

}  // namespace

void set_except_report_handler() {
  install_crash_handler({mark_fatal_error, write_report_line, debug_flush, shut_down_after_fault});
  char exe[260];
  if (!get_exe_filename(exe, sizeof(exe)))
    snprintf(exe, sizeof(exe), "%s", "/proc/self/exe");
  if (!symhlp_load(exe, 0, 0))
    debug("can't load sym for: %s", exe);
}

bool symhlp_load(const char* module_name, uintptr_t base, uint32_t size) {
  bool found = register_module_symbols(module_name, &base, &size);
  debug("symhlp_load: <%s> base=%08llX size=%08X", module_name ? module_name : "", (unsigned long long)base, size);
  return found;
}

bool symhlp_unload(const char* module_name, uintptr_t base) {
  bool found = unregister_module_symbols(module_name, &base);
  debug("symhlp_unload: <%s> base=%08llX", module_name ? module_name : "", (unsigned long long)base);
  return found;
}

__attribute__((noinline)) void debug_dump_stack(const char* msg, int skip) {
  void* frames[max_stack_frames];
  // capture_stack omits itself, so a skip of 0 starts at this function.
  int n = capture_stack(frames, max_stack_frames, skip);
  const char* stack = format_stack(frames, n);
  if (msg)
    debug("%s: %s", msg, stack);
  else
    debug("%s", stack);
}
