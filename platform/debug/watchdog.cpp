// The watchdog thread sleeps on a semaphore until it is armed, then until the
// deadline or the next change; semaphores and atomics are all the arming side
// touches, which keeps it usable inside a signal handler.
#include "platform/debug/watchdog.h"

#include <semaphore.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {

sem_t wake;
std::atomic<bool> started{false};
std::atomic<int64_t> deadline_ns{0};  // CLOCK_MONOTONIC; 0 when disarmed
std::atomic<const char*> guarded_work{""};

int64_t now_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void write_stderr(const char* text) {
  ssize_t unused = write(STDERR_FILENO, text, strlen(text));
  (void)unused;
}

[[noreturn]] void expire() {
  write_stderr("\n\n");
  write_stderr(guarded_work.load());
  write_stderr(" timed out\n");
  _exit(100);
}

void watch() {
  for (;;) {
    int64_t deadline = deadline_ns.load();
    if (deadline == 0) {
      while (sem_wait(&wake) != 0 && errno == EINTR) {
      }
      continue;
    }
    if (now_ns() >= deadline)
      expire();
    timespec until = {time_t(deadline / 1000000000), long(deadline % 1000000000)};
    sem_clockwait(&wake, CLOCK_MONOTONIC, &until);
  }
}

}  // namespace

void start_watchdog() {
  if (started.exchange(true))
    return;
  sem_init(&wake, 0, 0);
  std::thread(watch).detach();
}

void arm_watchdog(unsigned seconds, const char* what) {
  if (!started.load())
    return;
  guarded_work.store(what);
  deadline_ns.store(now_ns() + int64_t(seconds) * 1000000000);
  sem_post(&wake);
}

void disarm_watchdog() {
  if (!started.load())
    return;
  deadline_ns.store(0);
  sem_post(&wake);
}
