// The platform's child processes: their output through one pipe, their end and exit
// code, and ending a child with everything it started.
#include "platform/win32/child_process.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "temp_folder.h"

namespace {

// Polls until `cond` holds; false when it did not within a few seconds. An upper
// bound on the wait, never a timing assertion.
bool wait_for(const std::function<bool()>& cond) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool start_shell(ChildProcess* child, const char* script) {
  const char* argv[] = {"sh", "-c", script, nullptr};
  return start_child_process(child, "/bin/sh", argv);
}

// Reads the child's output until it ends; false when it did not end in time.
bool read_to_end(ChildProcess* child, std::string* output) {
  return wait_for([&] {
    char buffer[64];
    int n;
    while ((n = read_child_output(child, buffer, sizeof(buffer))) > 0)
      output->append(buffer, (size_t)n);
    return n == 0;
  });
}

// Ended: no such process, or one that only waits to be reaped by its new parent.
bool process_gone(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string fields;
  std::getline(stat, fields);
  size_t paren = fields.rfind(')');
  return !stat || paren == std::string::npos || fields.compare(paren + 2, 1, "Z") == 0;
}

int read_pid(const std::string& path) {
  int pid = 0;
  wait_for([&] { return (std::ifstream(path) >> pid) && pid > 0; });
  return pid;
}

TEST(ChildProcess, OutputAndErrorComeThroughOnePipeThenTheExitCode) {
  struct Case {
    const char* script;
    const char* output;
    int code;
  };
  const Case cases[] = {
      {"echo one; echo two >&2; exit 3", "one\ntwo\n", 3},
      {"printf 'no line end'", "no line end", 0},
      {"kill -TERM $$", "", 128 + SIGTERM},  // ended by a signal
  };
  for (const Case& c : cases) {
    ChildProcess child;
    ASSERT_TRUE(start_shell(&child, c.script)) << c.script;
    EXPECT_GT(child.pid, 0);
    std::string output;
    ASSERT_TRUE(read_to_end(&child, &output)) << c.script;
    EXPECT_EQ(output, c.output) << c.script;
    int code = -2;
    ASSERT_TRUE(wait_for([&] { return child_process_ended(&child, &code); })) << c.script;
    EXPECT_EQ(code, c.code) << c.script;
    EXPECT_EQ(child.pid, -1) << "none runs any more";
    EXPECT_EQ(child.output, -1);
  }
}

TEST(ChildProcess, NothingWaitingWhileItRunsIsNotTheEnd) {
  TempFolder dir{"torvane-child-"};
  std::string go = dir / "go";
  std::string script = "echo waiting; while [ ! -e '" + go + "' ]; do sleep 0.01; done; echo done";
  ChildProcess child;
  ASSERT_TRUE(start_shell(&child, script.c_str()));
  std::string output;
  char buffer[64];
  ASSERT_TRUE(wait_for([&] {
    int n = read_child_output(&child, buffer, sizeof(buffer));
    if (n > 0)
      output.append(buffer, (size_t)n);
    return output == "waiting\n";
  }));
  EXPECT_EQ(read_child_output(&child, buffer, sizeof(buffer)), -1) << "nothing now, more to come";
  int code = -2;
  EXPECT_FALSE(child_process_ended(&child, &code));
  EXPECT_EQ(code, -2);

  std::ofstream(go).put('x');
  ASSERT_TRUE(read_to_end(&child, &output));
  EXPECT_EQ(output, "waiting\ndone\n");
  ASSERT_TRUE(wait_for([&] { return child_process_ended(&child, &code); }));
  EXPECT_EQ(code, 0);
}

// What the child started goes with it, and so does a child that will not stop when
// asked.
TEST(ChildProcess, KillEndsTheWholeGroup) {
  TempFolder dir{"torvane-child-"};
  for (const char* trap : {"", "trap '' TERM; "}) {
    std::string pid_file = dir / "grandchild";
    std::remove(pid_file.c_str());
    std::string script = std::string(trap) + "sleep 60 & echo $! > '" + pid_file + "'; wait";
    ChildProcess child;
    ASSERT_TRUE(start_shell(&child, script.c_str()));
    int pid = child.pid;
    int grandchild = read_pid(pid_file);
    ASSERT_GT(grandchild, 0) << trap;

    kill_child_process(&child);
    EXPECT_EQ(child.pid, -1) << trap;
    EXPECT_EQ(child.output, -1) << trap;
    EXPECT_TRUE(process_gone(pid)) << trap << "the child is waited for";
    EXPECT_TRUE(wait_for([&] { return process_gone(grandchild); })) << trap << "the grandchild is ended";
  }
}

TEST(ChildProcess, AProgramThatCannotStartLeavesNone) {
  ChildProcess child;
  const char* argv[] = {"missing", nullptr};
  EXPECT_FALSE(start_child_process(&child, "/no/such/program", argv));
  EXPECT_EQ(child.pid, -1);
  EXPECT_EQ(child.output, -1);
  kill_child_process(&child);  // ending none is harmless
  EXPECT_EQ(child.pid, -1);
}

}  // namespace
