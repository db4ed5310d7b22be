// fatal and ASSERT: the texts on standard error, in the log and in the error
// box, the orderly shut-down, exit codes, and the cases that must not deadlock:
// a fatal while this thread or another holds the log mutex, and a fatal raised
// from inside the shut-down.
#include "engine/core/fatal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "child_process.h"
#include "engine/core/log.h"
#include "engine/core/utils.h"
#include "platform/debug/stack.h"
#include "platform/win32/program_path.h"

// Exported (not static) so that the call stacks can name them.
extern "C" __attribute__((noinline)) void fatal_test_check_count(int n) {
  ASSERT(n>=0);
  asm volatile("");
}
extern "C" __attribute__((noinline)) void fatal_test_level_three() {
  debug_dump_stack("three levels", 0);
  asm volatile("");
}
extern "C" __attribute__((noinline)) void fatal_test_level_two() {
  fatal_test_level_three();
  asm volatile("");
}
extern "C" __attribute__((noinline)) void fatal_test_level_one() {
  fatal_test_level_two();
  asm volatile("");
}

namespace {

int shutdown_runs = 0;

void shutdown_announcing() {
  shutdown_runs++;
  fprintf(stderr, "shutdown run %d, fatal_error_happened=%d\n", shutdown_runs, (int)fatal_error_happened);
}

void shutdown_raising_fatal() {
  shutdown_announcing();
  fatal("failure inside the shut-down");
}

void show_box(const char* title, const char* text) {
  fprintf(stderr, "BOX[%s|%s]\n", title, text);
}

std::string log_text(const std::string& home) {
  return read_file(home + "/TORVANE/log.txt");
}

int box_calls = 0;
void failing_box(const char* title, const char* text) {
  box_calls++;
  fprintf(stderr, "box call %d\n", box_calls);
  fatal("the error box failed (%d)", box_calls);
}

// ---- Children ----

TEST(FatalChild, ErrorBoxAlwaysFails) {
  CHILD_ONLY();
  set_error_box_handler(failing_box);
  set_close_all_systems(shutdown_announcing);
  fatal("original error");
}

TEST(FatalChild, AssertFails) {
  CHILD_ONLY();
  init_time();
  set_close_all_systems(shutdown_announcing);
  debug("started");
  fatal_test_check_count(-1);
}

TEST(FatalChild, FatalWithBox) {
  CHILD_ONLY();
  set_error_box_handler(show_box);
  set_close_all_systems(shutdown_announcing);
  fatal("cannot load %s (%d)", "font.tga", 2);
}

TEST(FatalChild, QuitGame) {
  CHILD_ONLY();
  set_close_all_systems(shutdown_announcing);
  quit_game(atoi(getenv("QUIT_CODE")));
}

TEST(FatalChild, FatalInsideShutdown) {
  CHILD_ONLY();
  set_close_all_systems(shutdown_raising_fatal);
  fatal("first failure");
}

TEST(FatalChild, FatalWhileHoldingLogMutex) {
  CHILD_ONLY();
  set_close_all_systems(shutdown_announcing);
  debug("log open");
  // As when a check fails inside the log itself.
  ASSERT_TRUE(log_lock_for_report());
  fatal("raised inside the log");
}

TEST(FatalChild, FatalWhileAnotherThreadHoldsLogMutex) {
  CHILD_ONLY();
  set_close_all_systems(shutdown_announcing);
  debug("log open");
  std::atomic<bool> held{false};
  std::thread stuck([&] {
    log_lock_for_report();
    held = true;
    pause();  // never lets go
  });
  while (!held)
    std::this_thread::yield();
  fatal("the log is stuck elsewhere");
}

TEST(FatalChild, DumpStack) {
  CHILD_ONLY();
  fatal_test_level_one();
}

// ---- Tests ----

TEST(Fatal, AssertReportsFileLineAndExpressionEverywhere) {
  std::string home = fresh_folder("assert");
  ChildResult r = run_child("FatalChild.AssertFails", home);
  EXPECT_EQ(r.exit_code, 100);
  const std::string message_re = R"(fatal_test\.cpp\([0-9]+\): failed ASSERT\(n>=0\))";
  // Standard error: the message after two empty lines, then the error box.
  EXPECT_TRUE(std::regex_search(r.err, std::regex("\n\n" + message_re + "\n")));
  EXPECT_TRUE(std::regex_search(r.err, std::regex("TORVANE! 0\\.20 - FATAL ERROR: " + message_re)));
  // The shut-down ran once, after the flag was set.
  EXPECT_THAT(r.err, testing::HasSubstr("shutdown run 1, fatal_error_happened=1\n"));
  EXPECT_THAT(r.err, testing::Not(testing::HasSubstr("shutdown run 2")));
  // The log: the message with the call stack starting at fatal, then ERROR.
  std::string log = log_text(home);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m, std::regex("\\| " + message_re + ": Call stack \\(([0-9]+) frames\\):\n  0x[0-9a-f]+ [^ ]+! fatal\\(")))
      << log;
  EXPECT_THAT(log, testing::HasSubstr("fatal_test_check_count"));
  EXPECT_TRUE(std::regex_search(log, std::regex("\\| ERROR: " + message_re + "\n")));
  // The stack comes before the ERROR line.
  EXPECT_LT(log.find("Call stack"), log.find("ERROR:"));
}

TEST(Fatal, ErrorBoxSeamGetsTitleAndText) {
  std::string home = fresh_folder("box");
  ChildResult r = run_child("FatalChild.FatalWithBox", home);
  EXPECT_EQ(r.exit_code, 100);
  EXPECT_THAT(r.err, testing::HasSubstr("\n\ncannot load font.tga (2)\n"));
  EXPECT_THAT(r.err, testing::HasSubstr("BOX[TORVANE! 0.20 - FATAL ERROR|cannot load font.tga (2)]\n"));
  // The box comes before the shut-down.
  EXPECT_LT(r.err.find("BOX["), r.err.find("shutdown run 1"));
  EXPECT_THAT(log_text(home), testing::HasSubstr("| ERROR: cannot load font.tga (2)\n"));
}

TEST(Fatal, QuitGameShutsDownAndExitsWithTheCode) {
  for (int code : {0, 3}) {
    std::string home = fresh_folder("quit" + std::to_string(code));
    ChildResult r = run_child("FatalChild.QuitGame", home, {"QUIT_CODE=" + std::to_string(code)});
    EXPECT_EQ(r.exit_code, code);
    EXPECT_EQ(r.err, "shutdown run 1, fatal_error_happened=0\n");
  }
}

TEST(Fatal, FatalInsideTheShutdownExitsWithoutRunningItTwice) {
  std::string home = fresh_folder("inside_shutdown");
  ChildResult r = run_child("FatalChild.FatalInsideShutdown", home);
  EXPECT_EQ(r.exit_code, 100);
  EXPECT_THAT(r.err, testing::HasSubstr("first failure"));
  EXPECT_THAT(r.err, testing::HasSubstr("failure inside the shut-down"));
  EXPECT_THAT(r.err, testing::HasSubstr("shutdown run 1"));
  EXPECT_THAT(r.err, testing::Not(testing::HasSubstr("shutdown run 2")));
  EXPECT_THAT(log_text(home), testing::HasSubstr("| failure inside the shut-down: Call stack"));
}

TEST(Fatal, FatalWhileThisThreadHoldsTheLogStillReports) {
  std::string home = fresh_folder("log_held");
  ChildResult r = run_child("FatalChild.FatalWhileHoldingLogMutex", home);
  EXPECT_EQ(r.exit_code, 100);
  EXPECT_THAT(r.err, testing::HasSubstr("\n\nraised inside the log\n"));
  EXPECT_THAT(r.err, testing::HasSubstr("shutdown run 1"));
  std::string log = log_text(home);
  EXPECT_THAT(log, testing::HasSubstr("| raised inside the log: Call stack"));
  EXPECT_THAT(log, testing::HasSubstr("| ERROR: raised inside the log\n"));
}

TEST(Fatal, FatalWhileAnotherThreadHoldsTheLogStillReports) {
  std::string home = fresh_folder("log_stuck");
  ChildResult r = run_child("FatalChild.FatalWhileAnotherThreadHoldsLogMutex", home);
  EXPECT_EQ(r.exit_code, 100);
  EXPECT_THAT(r.err, testing::HasSubstr("shutdown run 1"));
  EXPECT_THAT(log_text(home), testing::HasSubstr("| the log is stuck elsewhere: Call stack"));
}

TEST(Fatal, ReportThatKeepsFailingStillEnds) {
  std::string home = fresh_folder("failing_box");
  ChildResult r = run_child("FatalChild.ErrorBoxAlwaysFails", home);
  EXPECT_EQ(r.exit_code, 100);
  // The first nested failure gets a full report, the next one ends it.
  EXPECT_THAT(r.err, testing::HasSubstr("box call 2\n"));
  EXPECT_THAT(r.err, testing::Not(testing::HasSubstr("box call 3")));
  EXPECT_THAT(r.err, testing::HasSubstr("\n\nthe error box failed (2)\n"));
  EXPECT_THAT(r.err, testing::HasSubstr("shutdown run 1,"));
  EXPECT_THAT(r.err, testing::Not(testing::HasSubstr("shutdown run 2")));
  EXPECT_THAT(log_text(home), testing::HasSubstr("| the error box failed (1): Call stack"));
}

TEST(Fatal, DumpStackNamesTheFrames) {
  std::string home = fresh_folder("dump");
  ChildResult r = run_child("FatalChild.DumpStack", home);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::string log = log_text(home);
  std::smatch m;
  ASSERT_TRUE(std::regex_search(log, m, std::regex(R"(\| three levels: Call stack \(([0-9]+) frames\):\n)"))) << log;
  int frames = std::stoi(m[1]);
  EXPECT_GE(frames, 4);
  EXPECT_LE(frames, max_stack_frames);
  // A skip of 0 starts at debug_dump_stack, then the callers in order.
  std::string rest = m.suffix();
  size_t a = rest.find(" debug_dump_stack(");
  size_t b = rest.find(" fatal_test_level_three  +");
  size_t c = rest.find(" fatal_test_level_two  +");
  size_t d = rest.find(" fatal_test_level_one  +");
  std::string first_frame = rest.substr(0, rest.find('\n'));
  EXPECT_TRUE(std::regex_match(first_frame, std::regex(R"(  0x[0-9a-f]+ core_fatal! debug_dump_stack\(.*)"))) << rest;
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
  EXPECT_LT(c, d);
  EXPECT_NE(d, std::string::npos) << rest;
}

TEST(StackFormat, KnownAndUnknownAddresses) {
  void* frames[] = {(char*)&fatal_test_level_one + 1, (char*)&fatal_test_level_two + 2,
                    (char*)&fatal_test_level_three + 3, (void*)16};
  std::string text = format_stack(frames, 4);
  std::vector<std::string> lines;
  std::stringstream ss(text);
  for (std::string line; std::getline(ss, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 5u) << text;
  EXPECT_EQ(lines[0], "Call stack (4 frames):");
  const std::regex known(R"(  0x[0-9a-f]+ [^ !]+! (fatal_test_level_[a-z]+)  \+([0-9]+)/([0-9]+))");
  const char* names[] = {"fatal_test_level_one", "fatal_test_level_two", "fatal_test_level_three"};
  for (int i = 0; i < 3; i++) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i + 1], m, known)) << lines[i + 1];
    EXPECT_EQ(m[1], names[i]);
    EXPECT_EQ(std::stoi(m[2]), i + 1);
    EXPECT_GT(std::stoi(m[3]), i + 1);
  }
  EXPECT_EQ(lines[4], "  0x10 --unknown--");
}

TEST(FatalChild, SymbolModules) {
  CHILD_ONLY();
  EXPECT_TRUE(symhlp_load("libc.so.6", 0, 0));
  EXPECT_FALSE(symhlp_load("no_such_module.so", 0, 0));
  EXPECT_TRUE(symhlp_unload("LIBC.SO.6", 0));
  // Registering the program reads its full table: internal functions get names.
  char exe[260];
  ASSERT_TRUE(get_exe_filename(exe, sizeof(exe)));
  EXPECT_TRUE(symhlp_load(exe, 0, 0));
  void* frames[max_stack_frames];
  int n = capture_stack(frames, max_stack_frames, 0);
  ASSERT_GT(n, 0);
  EXPECT_THAT(std::string(format_stack(frames, 1)), testing::HasSubstr("FatalChild_SymbolModules_Test::TestBody()"));
}

TEST(Fatal, SymbolModulesAreFoundByPathOrName) {
  std::string home = fresh_folder("symbols");
  ChildResult r = run_child("FatalChild.SymbolModules", home);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  std::string log = log_text(home);
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(\| symhlp_load: <libc\.so\.6> base=[0-9A-F]{8,} size=[0-9A-F]{8}\n)"))) << log;
  EXPECT_THAT(log, testing::HasSubstr("| symhlp_load: <no_such_module.so> base=00000000 size=00000000\n"));
  EXPECT_TRUE(std::regex_search(log, std::regex(R"(\| symhlp_unload: <LIBC\.SO\.6> base=[0-9A-F]{8,}\n)"))) << log;
}

TEST(StackFormat, CaptureStartsAtTheCaller) {
  void* frames[max_stack_frames];
  int n = capture_stack(frames, max_stack_frames, 0);
  ASSERT_GT(n, 1);
  EXPECT_THAT(std::string(format_stack(frames, 1)), testing::HasSubstr("StackFormat_CaptureStartsAtTheCaller"));
  EXPECT_EQ(capture_stack(frames, 2, 0), 2);
}

}  // namespace
