// Each developer tool and benchmark script given bad arguments: it names the argument
// and what is wrong, exits with its code for a bad argument, and writes nothing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "tests/support/test_env.h"

namespace {

struct Ran {
  int exit_code = -1;
  std::string out;  // standard output and error
};

Ran run(const std::string& command) {
  Ran r;
  FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (!p)
    return r;
  char buf[512];
  while (fgets(buf, sizeof(buf), p))
    r.out += buf;
  int status = pclose(p);
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

struct BadArgs {
  std::string args;
  std::string says;  // part of the message: the argument's name and what is wrong
};

// Runs `program` with each case's arguments: the exit code and the message.
void expect_refused(const std::string& program, const std::vector<BadArgs>& cases, int exit_code) {
  for (const BadArgs& c : cases) {
    SCOPED_TRACE(c.args);
    Ran r = run(program + " " + c.args);
    EXPECT_EQ(r.exit_code, exit_code) << r.out;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
  }
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A folder for a script's arguments: a file that is no folder, and a folder where the
// script looks for the program it runs.
struct ScriptArgsFolder {
  TempFolder dir{"torvane-tools-"};
  std::string file = dir / "file.txt";
  std::string program;
  explicit ScriptArgsFolder(const std::string& program_path) : program(dir / program_path) {
    write_file(file, "x");
    std::filesystem::create_directories(program);
  }
};

std::string bin(const char* tool) { return test_env::bin_dir() + "/" + tool; }
std::string script(const char* path) { return std::string(TORVANE_TEST_SOURCE_DIR) + "/" + path; }

TEST(ToolArguments, LevelDumpRefusesBadArguments) {
  TempFolder dir("torvane-tools-");
  std::string out = dir / "map.png", good = "--seed 7 --level 1 ";
  std::string file = dir / "file.txt";
  write_file(file, "x");
  std::vector<BadArgs> cases = {
      {"--seed 7 --level 0 --out " + out, "--level: '0' is not a whole number from 1 to 10"},
      {"--seed 7 --level -1 --out " + out, "--level: '-1'"},
      {"--seed 7 --level 11 --out " + out, "--level: '11'"},
      {"--seed 7 --level 99 --out " + out, "--level: '99'"},
      {"--seed 7 --level 1x --out " + out, "--level: '1x'"},
      {"--seed 99999999999999999999 --level 1 --out " + out, "--seed: '99999999999999999999'"},
      {"--seed 18446744073709551616 --level 1 --out " + out, "--seed: '18446744073709551616'"},
      {"--seed abc --level 1 --out " + out, "--seed: 'abc'"},
      {"--seed 0 --level 1 --out " + out, "--seed: '0'"},
      {"--seed 0x10 --level 1 --out " + out, "--seed: '0x10'"},
      {"--seed '' --level 1 --out " + out, "--seed: ''"},
      {"--level 1 --out " + out, "--seed: missing"},
      {"--seed 7 --out " + out, "--level: missing"},
      {good, "--out: missing"},
      {good + "--out " + out + " --seed", "--seed: needs a value"},
      {good + "--out " + dir.path, "--out: '" + dir.path + "' is not a regular file"},
      {good + "--out " + dir.path + "/none/map.png", "--out: '" + dir.path + "/none/' is not a folder"},
      {good + "--out " + out + " --data " + file, "--data: '" + file + "' is not a folder"},
      {good + "--out " + out + " --crop 10 5", "--crop X1: '5'"},
      {good + "--out " + out + " --crop 0 4097", "--crop X1: '4097'"},
      {good + "--out " + out + " --crop a 5", "--crop X0: 'a'"},
      {good + "--out " + out + " --crop 5", "--crop: needs two values"},
      {good + "--out " + out + " --colour", "--colour: unknown argument"},
  };
  expect_refused(bin("level_dump"), cases, 2);
  EXPECT_FALSE(exists(out)) << "no picture written";
}

TEST(ToolArguments, ProfReaderRefusesBadArguments) {
  TempFolder dir("torvane-tools-");
  std::vector<BadArgs> cases = {
      {"--live abc", "--live PORT: 'abc' is not a whole number from 1 to 65535"},
      {"--live 99999", "--live PORT: '99999'"},
      {"--live 0", "--live PORT: '0'"},
      {"--live 127.0.0.1:", "--live PORT: ''"},
      {"--live 127.0.0.1:80x", "--live PORT: '80x'"},
      {"--live :28077", "--live: no host before ':'"},
      {"--live 28077 --frames abc", "--frames: 'abc' is not a whole number from 1 to 2147483647"},
      {"--live 28077 --frames 0", "--frames: '0'"},
      {"--live 28077 --frames -3", "--frames: '-3'"},
      {"--live 28077 --frames 2147483648", "--frames: '2147483648'"},
      {"--live", "usage"},
      {dir.path, "FILE: '" + dir.path + "' is not a regular file"},
      {dir / "none.prof", "FILE: no file '" + (dir / "none.prof") + "'"},
  };
  expect_refused(bin("prof_reader"), cases, 2);
}

TEST(ToolArguments, SqRefusesWhatIsNoScriptFile) {
  TempFolder dir("torvane-tools-");
  std::vector<BadArgs> cases = {
      {dir.path, "FILE: '" + dir.path + "' is not a regular file"},
      {"/dev/null", "FILE: '/dev/null' is not a regular file"},
      {dir / "none.nut", "FILE: cannot open '" + (dir / "none.nut") + "'"},
      {"", "usage: sq FILE"},
  };
  expect_refused(bin("sq"), cases, 1);
}

// The scripts check their arguments before they look for what they run.
TEST(ToolArguments, StartupTimeScriptRefusesBadArguments) {
  ScriptArgsFolder f("bin/torvane");
  const TempFolder& dir = f.dir;
  const std::string& file = f.file;
  std::vector<BadArgs> cases = {
      {dir.path + " abc", "RUNS: 'abc' is not a whole number from 1 to 1000"},
      {dir.path + " 0", "RUNS: '0'"},
      {dir.path + " 1001", "RUNS: '1001'"},
      {dir.path + " 3x", "RUNS: '3x'"},
      {dir.path + " 99999999999999999999", "RUNS: '99999999999999999999'"},
      {file + " 3", "BUILD: '" + file + "' is not a folder"},
      {dir.path + " 3", "BUILD/bin/torvane: '" + f.program + "' is not a program"},
      {dir.path + " 3 4", "arguments: '" + dir.path + " 3 4' are too many"},
  };
  expect_refused("sh " + script("bench/startup_time.sh"), cases, 2);
}

TEST(ToolArguments, SoakScriptRefusesBadArguments) {
  ScriptArgsFolder f("tests/playthrough_test");
  const TempFolder& dir = f.dir;
  const std::string& file = f.file;
  std::vector<BadArgs> cases = {
      {dir.path + " 500", "UPDATES: '500' is not a whole number from 1000 to 1000000"},
      {dir.path + " abc", "UPDATES: 'abc'"},
      {dir.path + " -2000", "UPDATES: '-2000'"},
      {dir.path + " 1000001", "UPDATES: '1000001'"},
      {file + " 2000", "BUILD: '" + file + "' is not a folder"},
      {dir.path + " 2000", "BUILD/tests/playthrough_test: '" + f.program + "' is not a program"},
      {dir.path + " 2000 1", "are too many"},
  };
  expect_refused("sh " + script("bench/soak.sh"), cases, 2);
}

TEST(ToolArguments, SquirrelCompareScriptRefusesBadArguments) {
  TempFolder dir("torvane-tools-");
  std::string sq = bin("sq");
  std::vector<BadArgs> cases = {
      {"abc", "REPEATS: 'abc' is not a whole number from 1 to 1000000"},
      {"0", "REPEATS: '0'"},
      {"1000001", "REPEATS: '1000001'"},
      {"5 " + sq + " x", "RUNS: 'x' is not a whole number from 1 to 1000"},
      {"5 " + sq + " 0", "RUNS: '0'"},
      {"5 " + dir.path, "SQ: '" + dir.path + "' is not a program"},
      {"5 " + sq + " 3 4", "are too many"},
  };
  expect_refused("bash " + script("bench/squirrel/compare.sh"), cases, 2);
}

// A runner that fails on every script: no ratios of failed runs, and a failure.
TEST(ToolArguments, SquirrelCompareScriptFailsWhenItsRunsFail) {
  TempFolder dir("torvane-tools-");
  std::string sq = dir / "failing_sq";
  write_file(sq, "#!/bin/sh\necho 'no such script' >&2\nexit 3\n");
  ASSERT_EQ(chmod(sq.c_str(), 0755), 0);
  expect_refused("bash " + script("bench/squirrel/compare.sh"), {{"1 " + sq + " 1", "failed"}}, 1);
}

}  // namespace
