// The log: stamped lines to standard output and log.txt, the rotation of older
// logs, and the developer history of the last lines.
#include "engine/core/log.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "engine/core/user_folder_check.h"
#include "engine/core/utils.h"

int num_debug_log_files = 5;
bool use_dev_tools = false;

namespace {

// A non-recursive mutex that knows its owner, so that the fatal path can tell
// whether the thread reporting an error already holds it.
struct LogMutex {
  std::mutex mutex;
  std::atomic<std::thread::id> owner{};

  void lock() {
    mutex.lock();
    owner.store(std::this_thread::get_id());
  }
  bool tryLock() {
    if (!mutex.try_lock())
      return false;
    owner.store(std::this_thread::get_id());
    return true;
  }
  void unlock() {
    owner.store(std::thread::id());
    mutex.unlock();
  }
  bool heldByThisThread() const { return owner.load() == std::this_thread::get_id(); }
};

struct LogLock {
  LogMutex& m;
  explicit LogLock(LogMutex& m) : m(m) { m.lock(); }
  ~LogLock() { m.unlock(); }
};

LogMutex line_mutex;  // keeps the stamp, message and line end of one debug line together
LogMutex log_mutex;   // guards the log file, the history and standard output

FILE* log_file = nullptr;
bool log_open_attempted = false;
char log_file_path[260] = "";

const int history_max_lines = 5000;
const int history_chunk = 4096;
DynArray<char> history_text;
DynArray<int> history_line_starts;

TempString<32> numbered_log_name(int i) {
  TempString<32> name;
  name.format("log%02d.txt", i);
  return name;
}

// Shifts the older logs along log01.txt.. and opens a new log.txt. Runs once per
// process: a log that cannot be opened leaves logging to standard output, and
// later writes neither shift the older logs again nor retry.
void rotate_and_open_log() {
  log_open_attempted = true;
  int n = num_debug_log_files;
  if (n > 1) {
    remove(get_appdata_folder_path(numbered_log_name(n - 1)));
    for (int i = n - 1; i >= 2; i--)
      rename(get_appdata_folder_path(numbered_log_name(i - 1)), get_appdata_folder_path(numbered_log_name(i)));
    rename(get_appdata_folder_path("log.txt"), get_appdata_folder_path(numbered_log_name(1)));
  } else {
    // A single log file: log.txt is only truncated; a stray log00.txt goes.
    remove(get_appdata_folder_path(numbered_log_name(0)));
  }
  create_directories(get_appdata_folder_path(""));
  TempString<260> path = get_appdata_folder_path("log.txt");
  log_file = fopen(path, "w");
  if (!log_file)
    return;
  snprintf(log_file_path, sizeof(log_file_path), "%s", path.c_str());
  fprintf(log_file, "Log file path: %s\n", log_file_path);
  // Standard error heard of the stand-in folder already; the log says it once too.
  if (const char* note = user_folder_note())
    fprintf(log_file, "%s\n", note);
}

// Writes to every destination; the caller holds the log mutex (or, on the fatal
// path, could not take it; then the history is left alone). Each destination formats its own copy of the list.
void write_log_text(bool to_history, const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  vfprintf(stdout, fmt, copy);
  va_end(copy);

  if (!log_open_attempted)
    rotate_and_open_log();
  if (log_file) {
    va_copy(copy, args);
    vfprintf(log_file, fmt, copy);
    va_end(copy);
  }

  if (to_history && use_dev_tools) {
    char text[history_chunk];
    va_copy(copy, args);
    int n = vsnprintf(text, sizeof(text), fmt, copy);
    va_end(copy);
    if (n > history_chunk - 1)
      n = history_chunk - 1;
    if (n > 0)
      history_text.append(n, text);
  }
}

void write_log_textf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  write_log_text(false, fmt, args);
  va_end(args);
}

void flush_log() {
  fflush(stdout);
  if (log_file)
    fflush(log_file);
}

}  // namespace

void vdebug(const char* fmt, va_list args) {
  LogLock lock(log_mutex);
  write_log_text(true, fmt, args);
}

void debug_(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  vdebug(fmt, args);
  va_end(args);
}

void debug(const char* fmt, ...) {
  LogLock lock(line_mutex);
  debug_start_line();
  debug_("%7.2f| ", get_time_sec(get_time_since_start()));
  va_list args;
  va_start(args, fmt);
  vdebug(fmt, args);
  va_end(args);
  debug_("\n");
  debug_flush();
}

void debug_flush() {
  flush_log();
}

void debug_start_line() {
  if (!use_dev_tools)
    return;
  LogLock lock(log_mutex);
  int count = history_line_starts.size();
  if (count > history_max_lines) {
    // Drop the oldest lines in one bulk removal and rebase the remaining starts.
    int k = count - history_max_lines;
    int base = history_line_starts[k];
    history_line_starts.remove(0, k);
    for (int& start : history_line_starts)
      start -= base;
    history_text.remove(0, base);
  }
  int start = history_text.size();
  history_line_starts.push(&start);
}

void copy_debug_history(DynArray<int>& line_starts, DynArray<char>& text) {
  LogLock lock(log_mutex);
  line_starts = history_line_starts;
  text = history_text;
}

bool log_locked_by_this_thread() {
  return log_mutex.heldByThisThread() || line_mutex.heldByThisThread();
}

bool log_lock_for_report() {
  if (log_locked_by_this_thread())
    return false;
  // Another thread may have died or hang while holding the lock: wait a while,
  // then report without it rather than never.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!log_mutex.tryLock()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void log_unlock_for_report() {
  log_mutex.unlock();
}

void debug_unlocked(const char* fmt, ...) {
  write_log_textf("%7.2f| ", get_time_sec(get_time_since_start()));
  va_list args;
  va_start(args, fmt);
  write_log_text(false, fmt, args);
  va_end(args);
  write_log_textf("\n");
  flush_log();
}

const char* debug_log_path() {
  return log_file_path;
}
