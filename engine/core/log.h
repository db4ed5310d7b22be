#pragma once
// The log: one time-stamped line per debug call, written to standard output and
// to "log.txt" in the per-user folder. The logs of earlier runs are shifted along
// "log01.txt".. so that at most num_debug_log_files log files exist.
#include <cstdarg>

#include "engine/core/dynarray.h"

// Number of log files kept by the rotation (log.txt plus the numbered ones).
extern int num_debug_log_files;
// Developer tools on (the "devkeys" setting): the log also keeps an in-memory
// history of the last 5000 lines. Set by start-up.
extern bool use_dev_tools;

// One line: "%7.2f| " (seconds since start), the message, a line end; flushed.
void debug(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// The formatted text alone: no stamp, no line end, not flushed.
void debug_(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Writes to standard output, the log file (opened on first use) and the history.
void vdebug(const char* fmt, va_list args);
void debug_flush();
// Records the start of a new line in the history (developer tools only).
void debug_start_line();
// Replaces both arrays with copies of the history (line starts and text).
void copy_debug_history(DynArray<int>& line_starts, DynArray<char>& text);

// For the fatal path: the log's locks are not re-entrant, so a report made while
// this thread holds one of them (a check failing inside the log) must bypass them.
bool log_locked_by_this_thread();
// Takes the log mutex for the fatal path: waits a bounded time and gives up when
// this thread already holds it or another thread never lets it go. True when
// taken; then log_unlock_for_report releases it.
bool log_lock_for_report();
void log_unlock_for_report();
// Writes a stamped line to standard output and the log file without any lock
// (the caller holds the log mutex, or could not get it).
void debug_unlocked(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
// Path of the open log file ("" while none is open) and the file itself.
const char* debug_log_path();
