#pragma once
// A watchdog that ends the process with exit code 100 when guarded work does not
// finish in time. It runs on a thread of its own, so it fires whatever the guarded
// thread waits for; arming and disarming are async-signal-safe, so the crash
// handler guards its report and the shut-down that follows it.

// Starts the watchdog's thread; once, at start-up (later calls do nothing).
void start_watchdog();
// Starts a countdown of `seconds` (replacing any running one). When it expires,
// "\n\n<what> timed out\n" goes to standard error and the process exits with 100.
// `what` must stay valid. Does nothing when the watchdog was not started.
void arm_watchdog(unsigned seconds, const char* what);
void disarm_watchdog();
