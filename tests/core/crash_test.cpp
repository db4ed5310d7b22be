// Crash report of real hardware faults, each in a child process: the report's
// lines in the log, the end through fatal (error text, one shut-down, exit 100),
// and the faults that must not hang: inside the log, inside the shut-down, on
// another thread.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <regex>
#include <thread>

#include "child_process.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/utils.h"

// Exported so that the call stack names them. The sanitizers would report these
// faults before they happen, so they stay out of them.
#define CRASH_FUNCTION extern "C" __attribute__((noinline, no_sanitize("address", "undefined")))
CRASH_FUNCTION int crash_test_null_read(volatile int* p) {
  return *p;
}
CRASH_FUNCTION void crash_test_write(volatile int* p) {
  *p = 1;
}
CRASH_FUNCTION int crash_test_divide(volatile int a, volatile int b) {
  return a / b;
}
CRASH_FUNCTION int crash_test_recurse(volatile int depth) {
  volatile char pad[1024];
  pad[0] = (char)depth;
  return crash_test_recurse(depth + 1) + pad[0];
}

namespace {

int shutdown_runs = 0;

void shutdown_announcing() {
  shutdown_runs++;
  fprintf(stderr, "shutdown run %d\n", shutdown_runs);
}

void shutdown_crashing() {
  shutdown_announcing();
  crash_test_null_read(nullptr);
}

// A lock the shut-down needs, held for good by another thread when the fault
// strikes.
std::mutex lock_held_elsewhere;

void shutdown_needing_the_held_lock() {
  shutdown_announcing();
  std::lock_guard<std::mutex> lock(lock_held_elsewhere);
  fprintf(stderr, "shutdown finished\n");
}

void start_child() {
  init_time();
  set_close_all_systems(shutdown_announcing);
  set_except_report_handler();
}

const char* const oops = "Oops! The game crashed. See log file for more info.";

// ---- Children ----

TEST(CrashChild, NullRead) {
  CHILD_ONLY();
  start_child();
  volatile int value = crash_test_null_read(nullptr);  // not a tail call: the caller stays on the stack
  (void)value;
}

TEST(CrashChild, WildWrite) {
  CHILD_ONLY();
  start_child();
  crash_test_write((volatile int*)16);
}

TEST(CrashChild, IntegerDivideByZero) {
  CHILD_ONLY();
  start_child();
  crash_test_divide(1, 0);
}

TEST(CrashChild, StackOverflow) {
  CHILD_ONLY();
  start_child();
  crash_test_recurse(0);
}

TEST(CrashChild, FaultInsideTheLog) {
  CHILD_ONLY();
  start_child();
  debug("log open");
  debug("%s", (const char*)8);  // the fault strikes while the log mutex is held
}

TEST(CrashChild, FaultInsideTheShutdown) {
  CHILD_ONLY();
  start_child();
  set_close_all_systems(shutdown_crashing);
  crash_test_null_read(nullptr);
}

TEST(CrashChild, FaultOnAnotherThread) {
  CHILD_ONLY();
  start_child();
  std::thread worker([] { crash_test_null_read(nullptr); });
  worker.join();
}

TEST(CrashChild, FaultWhileAnotherThreadHoldsTheShutdownsLock) {
  CHILD_ONLY();
  start_child();
  set_close_all_systems(shutdown_needing_the_held_lock);
  std::atomic<bool> held{false};
  std::thread holder([&held] {
    lock_held_elsewhere.lock();
    held = true;
    for (;;)
      pause();
  });
  holder.detach();
  while (!held)
    std::this_thread::yield();
  crash_test_null_read(nullptr);
}

// ---- Tests ----

struct Crash {
  ChildResult result;
  std::string log;
  std::vector<std::string> lines;
};

Crash run_crash(const std::string& child, const std::string& folder) {
  std::string home = fresh_folder(folder);
  Crash c;
  c.result = run_child("CrashChild." + child, home);
  c.log = read_file(home + "/TORVANE/log.txt");
  c.lines = read_lines(home + "/TORVANE/log.txt");
  // Drop the stamps: "%7.2f| ".
  for (std::string& line : c.lines) {
    if (line.size() >= 9 && line.compare(7, 2, "| ") == 0)
      line = line.substr(9);
  }
  return c;
}

size_t find_line(const std::vector<std::string>& lines, const std::string& prefix, size_t from = 0) {
  for (size_t i = from; i < lines.size(); i++) {
    if (lines[i].rfind(prefix, 0) == 0)
      return i;
  }
  return std::string::npos;
}

TEST(Crash, NullReadIsReportedThenEndsThroughFatal) {
  Crash c = run_crash("NullRead", "null_read");
  EXPECT_EQ(c.result.exit_code, 100);
  EXPECT_THAT(c.result.err, testing::HasSubstr(std::string("\n\n") + oops + "\n"));
  EXPECT_THAT(c.result.err, testing::HasSubstr(std::string("TORVANE! 0.20 - FATAL ERROR: ") + oops));
  EXPECT_THAT(c.result.err, testing::HasSubstr("shutdown run 1\n"));
  EXPECT_THAT(c.result.err, testing::Not(testing::HasSubstr("shutdown run 2")));

  const auto& l = c.lines;
  size_t first = find_line(l, "exception SIGSEGV");
  ASSERT_NE(first, std::string::npos) << c.log;
  ASSERT_GE(l.size(), first + 8) << c.log;
  EXPECT_TRUE(std::regex_match(l[first + 1], std::regex("Exception SIGSEGV at [0-9A-F]{16}"))) << l[first + 1];
  EXPECT_EQ(l[first + 2], "  access violation");
  EXPECT_EQ(l[first + 3], "  attempt to read memory at 0000000000000000");
  EXPECT_TRUE(std::regex_match(l[first + 4], std::regex("  CS:[ 0-9A-F]{4} RIP:[0-9A-F]{16} SS:[ 0-9A-F]{4} RSP:[0-9A-F]{16} flags:[0-9A-F]{8,}")))
      << l[first + 4];
  EXPECT_TRUE(std::regex_match(l[first + 5], std::regex("  RAX:[0-9A-F]{16} RBX:[0-9A-F]{16} RCX:[0-9A-F]{16} RDX:[0-9A-F]{16} RSI:[0-9A-F]{16} RDI:[0-9A-F]{16}")))
      << l[first + 5];
  EXPECT_THAT(l[first + 6], testing::StartsWith("  RBP:"));
  EXPECT_THAT(l[first + 6], testing::HasSubstr(" R15:"));
  // The fault's address is the first frame: the crashing function, then its caller.
  ASSERT_THAT(l[first + 7], testing::StartsWith("Call stack ("));
  EXPECT_THAT(l[first + 8], testing::HasSubstr("! crash_test_null_read  +"));
  EXPECT_THAT(l[first + 9], testing::HasSubstr("CrashChild_NullRead_Test::TestBody()"));
  // The address in the Exception line is the first frame's.
  std::string ip = l[first + 1].substr(l[first + 1].size() - 16);
  std::string frame_address = l[first + 8].substr(4, l[first + 8].find(' ', 4) - 4);
  EXPECT_EQ(std::stoull(ip, nullptr, 16), std::stoull(frame_address, nullptr, 16));

  // Then fatal: the message with its stack, and the error.
  size_t fatal_line = find_line(l, std::string(oops) + ": Call stack (", first);
  EXPECT_NE(fatal_line, std::string::npos) << c.log;
  EXPECT_NE(find_line(l, std::string("ERROR: ") + oops, first), std::string::npos);
}

TEST(Crash, WriteAccessIsNamed) {
  Crash c = run_crash("WildWrite", "wild_write");
  EXPECT_EQ(c.result.exit_code, 100);
  size_t first = find_line(c.lines, "exception SIGSEGV");
  ASSERT_NE(first, std::string::npos) << c.log;
  EXPECT_EQ(c.lines[first + 3], "  attempt to write to memory at 0000000000000010");
  EXPECT_THAT(c.log, testing::HasSubstr("! crash_test_write  +"));
}

TEST(Crash, IntegerDivisionByZero) {
  Crash c = run_crash("IntegerDivideByZero", "divide");
  EXPECT_EQ(c.result.exit_code, 100);
  size_t first = find_line(c.lines, "exception SIGFPE");
  ASSERT_NE(first, std::string::npos) << c.log;
  EXPECT_THAT(c.lines[first + 1], testing::StartsWith("Exception SIGFPE at "));
  EXPECT_EQ(c.lines[first + 2], "  integer /0");
  EXPECT_THAT(c.lines[first + 3], testing::StartsWith("  CS:"));
  EXPECT_THAT(c.log, testing::HasSubstr("! crash_test_divide  +"));
  EXPECT_THAT(c.result.err, testing::HasSubstr(oops));
}

TEST(Crash, StackOverflowIsReportedFromTheAlternateStack) {
  Crash c = run_crash("StackOverflow", "overflow");
  EXPECT_EQ(c.result.exit_code, 100);
  size_t first = find_line(c.lines, "exception SIGSEGV");
  ASSERT_NE(first, std::string::npos) << c.log;
  EXPECT_EQ(c.lines[first + 2], "  stack overflow");
  EXPECT_THAT(c.lines[first + 3], testing::StartsWith("  CS:"));
  EXPECT_THAT(c.log, testing::HasSubstr("Call stack (32 frames):"));
  EXPECT_THAT(c.log, testing::HasSubstr("! crash_test_recurse  +"));
  EXPECT_THAT(c.result.err, testing::HasSubstr("shutdown run 1\n"));
}

TEST(Crash, FaultInsideTheLogDoesNotDeadlock) {
  Crash c = run_crash("FaultInsideTheLog", "inside_log");
  EXPECT_EQ(c.result.exit_code, 100);
  EXPECT_THAT(c.result.err, testing::HasSubstr(oops));
  EXPECT_THAT(c.result.err, testing::HasSubstr("shutdown run 1\n"));
  EXPECT_THAT(c.log, testing::HasSubstr("  access violation\n"));
  EXPECT_THAT(c.log, testing::HasSubstr(std::string("ERROR: ") + oops));
}

TEST(Crash, SecondFaultDuringShutdownExitsAtOnce) {
  Crash c = run_crash("FaultInsideTheShutdown", "second_fault");
  EXPECT_EQ(c.result.exit_code, 100);
  EXPECT_THAT(c.result.err, testing::HasSubstr("shutdown run 1\n"));
  EXPECT_THAT(c.result.err, testing::HasSubstr("second fault while handling a crash"));
  EXPECT_THAT(c.result.err, testing::Not(testing::HasSubstr("shutdown run 2")));
  EXPECT_THAT(c.log, testing::HasSubstr("  access violation\n"));
}

TEST(Crash, FaultOnAnotherThreadIsReportedWithoutTheShutdown) {
  Crash c = run_crash("FaultOnAnotherThread", "thread");
  EXPECT_EQ(c.result.exit_code, 100);
  EXPECT_THAT(c.result.err, testing::HasSubstr(oops));
  EXPECT_THAT(c.result.err, testing::Not(testing::HasSubstr("shutdown run")));
  EXPECT_THAT(c.log, testing::HasSubstr("  attempt to read memory at 0000000000000000\n"));
  EXPECT_THAT(c.log, testing::HasSubstr("! crash_test_null_read  +"));
}

TEST(Crash, ShutdownWaitingForAHeldLockEndsThroughTheWatchdog) {
  auto start = std::chrono::steady_clock::now();
  Crash c = run_crash("FaultWhileAnotherThreadHoldsTheShutdownsLock", "held_lock");
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(c.result.exit_code, 100);
  EXPECT_THAT(c.result.err, testing::HasSubstr(oops));
  EXPECT_THAT(c.result.err, testing::HasSubstr("shutdown run 1\n"));
  EXPECT_THAT(c.result.err, testing::Not(testing::HasSubstr("shutdown finished")));
  EXPECT_THAT(c.result.err, testing::HasSubstr("\n\nshut-down after a crash timed out\n"));
  EXPECT_THAT(c.log, testing::HasSubstr("  access violation\n"));
  // The shut-down had its ten seconds, and not much more.
  EXPECT_GE(seconds, 10.0);
  EXPECT_LT(seconds, 30.0);
}

}  // namespace
