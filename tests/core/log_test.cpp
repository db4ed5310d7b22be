// The log: the stamped line, the file's first line, rotation to at most five
// files, a log that cannot be opened, the developer history and whole lines
// under concurrent writers. Each case writes its log in a fresh child process.
#include "engine/core/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <regex>
#include <thread>

#include "child_process.h"
#include "engine/core/utils.h"

namespace {

namespace fs = std::filesystem;

// "%7.2f| " then the message.
const std::regex stamped_line(R"( {0,3}[0-9]+\.[0-9]{2}\| (.*))");

std::string log_folder(const std::string& home) {
  return home + "/TORVANE/";
}

std::vector<std::string> log_files(const std::string& home) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(log_folder(home)))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// ---- Children ----

TEST(LogChild, WriteLines) {
  CHILD_ONLY();
  init_time();
  use_dev_tools = getenv("DEV_TOOLS") != nullptr;
  const char* run = getenv("RUN");
  debug("x=%d", 3);
  debug("%s %d %s", "str", 42, run ? run : "-");
}

TEST(LogChild, SingleLogFile) {
  CHILD_ONLY();
  num_debug_log_files = 1;
  debug("single");
}

TEST(LogChild, OpenFails) {
  CHILD_ONLY();
  // No descriptor left: the renames work, the new log cannot be opened.
  struct rlimit old_limit, limit = {3, 0};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old_limit), 0);
  limit.rlim_max = old_limit.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
  debug("first");
  debug("second");
  debug("third");
  setrlimit(RLIMIT_NOFILE, &old_limit);
}

TEST(LogChild, PartialThenLine) {
  CHILD_ONLY();
  debug_("abc");
  debug("msg");
}

TEST(LogChild, History) {
  CHILD_ONLY();
  DynArray<int> starts;
  DynArray<char> text;
  debug("before dev tools");
  copy_debug_history(starts, text);
  EXPECT_TRUE(starts.isEmpty());
  EXPECT_TRUE(text.isEmpty());

  use_dev_tools = true;
  for (int i = 0; i < 6000; i++)
    debug("line %d", i);
  copy_debug_history(starts, text);
  ASSERT_EQ(starts.size(), 5001);
  EXPECT_EQ(starts[0], 0);
  std::string all(text.data, (size_t)text.size());
  std::string first = all.substr(0, (size_t)starts[1]);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(first, m, std::regex(R"( {0,3}[0-9]+\.[0-9]{2}\| line 999\n)"))) << first;
  EXPECT_THAT(all, testing::EndsWith("| line 5999\n"));
  for (int i = 1; i < starts.size(); i++)
    EXPECT_EQ(all[(size_t)starts[i] - 1], '\n');
}

TEST(LogChild, ConcurrentLines) {
  CHILD_ONLY();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([t] {
      for (int i = 0; i < 300; i++)
        debug("thread %d line %d with some words to make it longer", t, i);
    });
  for (auto& th : threads)
    th.join();
}

// ---- Tests ----

TEST(Log, FirstRunWritesPathLineAndStampedLines) {
  std::string home = fresh_folder("first_run");
  ChildResult r = run_child("LogChild.WriteLines", home, {"DEV_TOOLS=1"});
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  std::vector<std::string> lines = read_lines(log_folder(home) + "log.txt");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "Log file path: " + log_folder(home) + "log.txt");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[1], m, stamped_line)) << lines[1];
  EXPECT_EQ(m[1], "x=3");
  // The stamp is seven characters wide, then "| ".
  EXPECT_EQ(lines[1].substr(7, 2), "| ");
  EXPECT_LT(std::stod(lines[1].substr(0, 7)), 30.0);
  // The same argument list is formatted for every destination.
  ASSERT_TRUE(std::regex_match(lines[2], m, stamped_line));
  EXPECT_EQ(m[1], "str 42 -");
  EXPECT_THAT(r.out, testing::HasSubstr("| x=3\n"));
  EXPECT_THAT(r.out, testing::HasSubstr("| str 42 -\n"));
}

TEST(Log, RotationKeepsTheLastFiveRuns) {
  std::string home = fresh_folder("rotation");
  for (int run = 1; run <= 6; run++) {
    ChildResult r = run_child("LogChild.WriteLines", home, {"RUN=run" + std::to_string(run)});
    ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  }
  fs::remove(home + "/child.out");
  EXPECT_THAT(log_files(home), testing::ElementsAre("log.txt", "log01.txt", "log02.txt", "log03.txt", "log04.txt"));
  const char* names[] = {"log.txt", "log01.txt", "log02.txt", "log03.txt", "log04.txt"};
  for (int i = 0; i < 5; i++) {
    SCOPED_TRACE(names[i]);
    std::string text = read_file(log_folder(home) + names[i]);
    EXPECT_THAT(text, testing::HasSubstr("| str 42 run" + std::to_string(6 - i) + "\n"));
    // Each file is the log of one run.
    EXPECT_THAT(text, testing::Not(testing::HasSubstr("run" + std::to_string(5 - i) + "\n")));
  }
}

TEST(Log, SingleLogFileIsTruncatedAndNothingRenamed) {
  std::string home = fresh_folder("single");
  fs::create_directories(log_folder(home));
  std::ofstream(log_folder(home) + "log.txt") << "old log\n";
  std::ofstream(log_folder(home) + "log00.txt") << "stray\n";
  ChildResult r = run_child("LogChild.SingleLogFile", home);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_THAT(log_files(home), testing::ElementsAre("log.txt"));
  std::string text = read_file(log_folder(home) + "log.txt");
  EXPECT_THAT(text, testing::Not(testing::HasSubstr("old log")));
  EXPECT_THAT(text, testing::HasSubstr("| single\n"));
}

TEST(Log, FailedOpenRotatesOnceAndLogsToStandardOutput) {
  std::string home = fresh_folder("open_fails");
  fs::create_directories(log_folder(home));
  std::ofstream(log_folder(home) + "log.txt") << "A\n";
  std::ofstream(log_folder(home) + "log01.txt") << "B\n";
  std::ofstream(log_folder(home) + "log02.txt") << "C\n";
  ChildResult r = run_child("LogChild.OpenFails", home);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  // One shift along the names, not one per line written.
  EXPECT_THAT(log_files(home), testing::ElementsAre("log01.txt", "log02.txt", "log03.txt"));
  EXPECT_EQ(read_file(log_folder(home) + "log01.txt"), "A\n");
  EXPECT_EQ(read_file(log_folder(home) + "log02.txt"), "B\n");
  EXPECT_EQ(read_file(log_folder(home) + "log03.txt"), "C\n");
  EXPECT_THAT(r.out, testing::HasSubstr("| first\n"));
  EXPECT_THAT(r.out, testing::HasSubstr("| third\n"));
}

TEST(Log, PartialTextJoinsTheNextLine) {
  std::string home = fresh_folder("partial");
  ChildResult r = run_child("LogChild.PartialThenLine", home);
  ASSERT_EQ(r.exit_code, 0) << r.out << r.err;
  std::vector<std::string> lines = read_lines(log_folder(home) + "log.txt");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(abc {0,3}[0-9]+\.[0-9]{2}\| msg)"))) << lines[1];
}

TEST(Log, HistoryKeepsTheLastLines) {
  std::string home = fresh_folder("history");
  ChildResult r = run_child("LogChild.History", home);
  EXPECT_EQ(r.exit_code, 0) << r.err << r.out.substr(r.out.size() > 3000 ? r.out.size() - 3000 : 0);
}

TEST(Log, ConcurrentWritersKeepLinesWhole) {
  std::string home = fresh_folder("concurrent");
  ChildResult r = run_child("LogChild.ConcurrentLines", home);
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::vector<std::string> lines = read_lines(log_folder(home) + "log.txt");
  ASSERT_EQ(lines.size(), 1u + 4 * 300);
  const std::regex whole(R"( {0,3}[0-9]+\.[0-9]{2}\| thread [0-3] line [0-9]+ with some words to make it longer)");
  for (size_t i = 1; i < lines.size(); i++)
    ASSERT_TRUE(std::regex_match(lines[i], whole)) << lines[i];
}

}  // namespace
