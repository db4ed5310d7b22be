// fatal, ASSERT's failure path, the error box and the orderly exit.
#include "engine/core/fatal.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/core/log.h"
#include "platform/debug/stack.h"
#include "platform/debug/watchdog.h"

bool fatal_error_happened = false;

namespace {

const char* const app_title = "TORVANE! 0.20";

ErrorBoxFunc error_box_handler = nullptr;
ShutdownFunc close_all_systems_func = nullptr;

// The shut-down lock: one shut-down at a time; the owner lets a nested request
// from its own thread (a fault inside a close step) return instead of waiting
// for itself.
std::mutex shutdown_mutex;
std::atomic<std::thread::id> shutdown_owner{};
// Seconds the next shut-down may take before the watchdog ends the process; 0: no limit.
std::atomic<unsigned> shutdown_watchdog_sec{0};

// Set just before the process exits: a fatal raised from then on (from an exit
// handler or a destructor of a global) cannot exit a second time.
std::atomic<bool> exiting{false};

// The log's mutexes are not re-entrant: when this thread holds one (an error
// raised from inside the log) or another thread never lets go, the report
// bypasses the locks.
void log_line(bool bypass_locks, const char* fmt, const char* a, const char* b = nullptr) {
  if (bypass_locks)
    debug_unlocked(fmt, a, b);
  else
    debug(fmt, a, b);
}

void show_error_box(const char* text) {
  char title[256];
  snprintf(title, sizeof(title), "%s - FATAL ERROR", app_title);
  if (error_box_handler)
    error_box_handler(title, text);
  else
    fprintf(stderr, "%s: %s\n", title, text);
  fflush(stderr);
}

void error_message_impl(const char* text, bool bypass_locks) {
  log_line(bypass_locks, "ERROR: %s", text);
  show_error_box(text);
}

[[noreturn]] void exit_process(int code) {
  fflush(stdout);
  fflush(stderr);
  if (exiting.exchange(true))
    _exit(code);
  exit(code);
}

}  // namespace

void set_error_box_handler(ErrorBoxFunc show) {
  error_box_handler = show;
}

void set_close_all_systems(ShutdownFunc close_all) {
  close_all_systems_func = close_all;
}

bool run_close_all_systems() {
  if (shutdown_owner.load() == std::this_thread::get_id())
    return false;
  // Taking the lock may be what hangs: the watchdog covers it too.
  unsigned guard = shutdown_watchdog_sec.exchange(0);
  if (guard)
    arm_watchdog(guard, "shut-down after a crash");
  struct OwnedLock {
    OwnedLock() {
      shutdown_mutex.lock();
      shutdown_owner.store(std::this_thread::get_id());
    }
    ~OwnedLock() {  // also when a close step throws
      shutdown_owner.store(std::thread::id());
      shutdown_mutex.unlock();
    }
  } lock;
  // A guarded shut-down stays guarded until the process is gone: the exit handlers
  // that follow it may wait for the same lock.
  if (close_all_systems_func)
    close_all_systems_func();
  return true;
}

void guard_next_shutdown(unsigned seconds) {
  shutdown_watchdog_sec.store(seconds);
}

void fatal(const char* fmt, ...) {
  fatal_error_happened = true;
  va_list args;
  va_start(args, fmt);

  // A fatal raised while reporting a fatal (the error box, the stack) gets one
  // more full report; a third level means the report itself keeps failing.
  static thread_local int depth = 0;
  depth++;
  if (exiting.load() || depth > 2) {
    // Raised while the process is already ending, or from a report that keeps
    // failing: say what happened and stop.
    fputs("\n\n", stderr);
    vfprintf(stderr, fmt, args);
    fputs("\n", stderr);
    fflush(stderr);
    debug_flush();
    // The shut-down still runs once, unless it is what is failing or over.
    if (!exiting.exchange(true))
      run_close_all_systems();
    _exit(100);
  }

  bool locked = log_lock_for_report();
  va_list copy;
  va_copy(copy, args);
  fputs("\n\n", stderr);
  vfprintf(stderr, fmt, copy);
  fputs("\n", stderr);
  va_end(copy);
  fflush(stdout);
  fflush(stderr);
  debug_flush();
  char message[4096];
  vsnprintf(message, sizeof(message), fmt, args);
  va_end(args);
  if (locked)
    log_unlock_for_report();

  bool bypass_locks = !locked || log_locked_by_this_thread();
  void* frames[max_stack_frames];
  int n = capture_stack(frames, max_stack_frames, 0);
  log_line(bypass_locks, "%s: %s", message, format_stack(frames, n));
  debug_flush();

  error_message_impl(message, bypass_locks);
  if (!run_close_all_systems()) {
    // Raised from inside the shut-down on this thread: the steps must not run
    // twice, and the process is half closed, so leave at once.
    debug_flush();
    fflush(stderr);
    exiting.store(true);
    _exit(100);
  }
  exit_process(100);
}

void assert_failed(const char* expr, const char* file, int line) {
  const char* name = file;
  for (const char* p = file; *p; p++) {
    if (*p == '/' || *p == '\\')
      name = p + 1;
  }
  fatal("%s(%d): failed ASSERT(%s)", name, line, expr);
}

void error_message(const char* text) {
  error_message_impl(text, log_locked_by_this_thread());
}

void quit_game(int code) {
  run_close_all_systems();
  exit_process(code);
}
