// The crash layer linked alone, with hooks of the test's own: a hardware fault in a
// child process reaches the program only through them (the fault first, then the
// report's lines with their flushes, then the shut-down with its message and
// watchdog); and the module symbol registrations report what they found.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/debug/crash.h"
#include "tests/core/child_process.h"

extern "C" __attribute__((noinline, no_sanitize("address", "undefined"))) int crash_hooks_null_read(volatile int* p) {
  return *p;
}

namespace {

// Each hook writes one tagged line to standard output, unbuffered.
void say(const char* tag, const char* text) {
  char line[8192];
  int n = snprintf(line, sizeof(line), "%s %s\n", tag, text);
  ssize_t unused = write(STDOUT_FILENO, line, (size_t)std::min<int>(n, (int)sizeof(line) - 1));
  (void)unused;
}
void fault_caught() { say("fault", ""); }
void write_line(const char* text) { say("line", text); }
void flush() { say("flush", ""); }
void shut_down(const char* message, unsigned watchdog_sec) {
  char text[512];
  snprintf(text, sizeof(text), "%u %s", watchdog_sec, message);
  say("shut_down", text);
  _exit(100);
}

}  // namespace

TEST(CrashHooksChild, NullRead) {
  CHILD_ONLY();
  install_crash_handler({fault_caught, write_line, flush, shut_down});
  volatile int value = crash_hooks_null_read(nullptr);
  (void)value;
}

TEST(CrashHooks, AFaultReachesTheProgramOnlyThroughItsHooksInOrder) {
  ChildResult child = run_child("CrashHooksChild.NullRead", fresh_folder("crash_hooks"));
  const std::string& text = child.out;
  EXPECT_EQ(child.exit_code, 100) << text << child.err;

  size_t fault = text.find("fault \n");
  size_t first = text.find("line exception SIGSEGV\n");
  size_t stack = text.find("line Call stack (");
  size_t named = text.find("crash_hooks_null_read");
  size_t end = text.find("shut_down 10 Oops! The game crashed. See log file for more info.\n");
  ASSERT_NE(fault, std::string::npos) << text;
  ASSERT_NE(first, std::string::npos) << text;
  ASSERT_NE(stack, std::string::npos) << text;
  ASSERT_NE(named, std::string::npos) << "the stack names the faulting function:\n" << text;
  ASSERT_NE(end, std::string::npos) << text;
  EXPECT_LT(fault, first);
  EXPECT_LT(first, stack);
  EXPECT_LT(stack, end);
  EXPECT_NE(text.find("flush \n", stack), std::string::npos) << "the report is flushed after its stack";
  EXPECT_NE(text.find("line   access violation\n"), std::string::npos) << text;
}

TEST(CrashHooks, ModuleRegistrationsReportWhatTheyFound) {
  uintptr_t base = 0;
  uint32_t size = 0;
  EXPECT_TRUE(register_module_symbols("libc.so.6", &base, &size));
  EXPECT_NE(base, 0u);
  EXPECT_NE(size, 0u);
  uintptr_t unload_base = 0;
  EXPECT_TRUE(unregister_module_symbols("LIBC.SO.6", &unload_base));
  EXPECT_EQ(unload_base, base);

  uintptr_t given = 0x1234;
  uint32_t given_size = 7;
  EXPECT_TRUE(register_module_symbols("libc.so.6", &given, &given_size)) << "a given base is kept";
  EXPECT_EQ(given, 0x1234u);
  EXPECT_EQ(given_size, 7u);

  uintptr_t none = 0;
  uint32_t none_size = 0;
  EXPECT_FALSE(register_module_symbols("no_such_module.so", &none, &none_size));
  EXPECT_EQ(none, 0u);
  EXPECT_FALSE(register_module_symbols(nullptr, &none, &none_size));
  EXPECT_FALSE(unregister_module_symbols("no_such_module.so", &none));
}
