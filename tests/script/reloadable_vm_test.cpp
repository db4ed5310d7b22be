// The reloadable VM: file list, change detection, re-runs and the common natives.
#include <physfs.h>

#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/utils.h"
#include "engine/core/vfs.h"
#include "engine/core/watch.h"
#include "engine/script/sq_reloadable_vm.h"
#include "script_fixture.h"

class ReloadableVmTest : public ScriptTest {
 protected:
  SqReloadableVM rvm;

  void SetUp() override {
    ScriptTest::SetUp();
    ASSERT_TRUE(rvm.init(1024));
    vm = rvm.getVM();
    register_vec4f_bindings(vm);
  }
  void TearDown() override {
    rvm.close();
    vm = nullptr;
    clear_changed_files();
    ScriptTest::TearDown();
  }
  // Reports a file as changed on disk, as the directory watcher would.
  void markChanged(const std::string& rel) { changed_files.push().assign((root + rel).c_str()); }
  std::string names() {
    std::string s;
    for (auto& f : rvm.files)
      s += std::string(f.name.c_str()) + ";";
    return s;
  }
};

TEST_F(ReloadableVmTest, IncludeRunsEachFileOnceIgnoringCase) {
  writeFile("main.nut", "runs <- (\"runs\" in getroottable()) ? runs + 1 : 1\ninclude(\"Lib.nut\")\n");
  writeFile("Lib.nut", "lib_runs <- (\"lib_runs\" in getroottable()) ? lib_runs + 1 : 1\n");
  EXPECT_TRUE(rvm.include("main.nut"));
  EXPECT_TRUE(rvm.include("MAIN.NUT"));
  EXPECT_TRUE(rvm.include("lib.nut"));
  EXPECT_EQ(names(), "main.nut;Lib.nut;");
  EXPECT_EQ(evalInt("runs * 10 + lib_runs"), 11);
  EXPECT_EQ(std::string(rvm.files[0].realPath.c_str()), root + "main.nut");
  EXPECT_EQ(rvm.files[0].modTime, vfs_last_mod_time("main.nut"));
}

TEST_F(ReloadableVmTest, MissingFileIsRecordedButNeverChanges) {
  std::string log = capture_log([&] { EXPECT_FALSE(rvm.include("missing.nut")); });
  ASSERT_EQ(rvm.files.size(), 1);
  EXPECT_TRUE(rvm.files[0].realPath.isEmpty());
  markChanged("missing.nut");
  EXPECT_FALSE(rvm.filesChanged());
}

TEST_F(ReloadableVmTest, ChangedFileNeedsANewTime) {
  writeFile("a.nut", "x <- 1");
  setFileTime("a.nut", 1000000);
  ASSERT_TRUE(rvm.include("a.nut"));
  markChanged("a.nut");
  EXPECT_FALSE(rvm.filesChanged()) << "a notification with the same time is no change";
  setFileTime("a.nut", 1000100);
  EXPECT_TRUE(rvm.filesChanged());
  clear_changed_files();
  EXPECT_FALSE(rvm.filesChanged()) << "a new time without a notification is no change";
}

TEST_F(ReloadableVmTest, RerunForcedOrByTime) {
  writeFile("a.nut", "trail <- (\"trail\" in getroottable()) ? trail + \"a\" : \"a\"\ninclude(\"b.nut\")\n");
  writeFile("b.nut", "trail += \"b\"\n");
  setFileTime("a.nut", 1000000);
  setFileTime("b.nut", 1000000);
  ASSERT_TRUE(rvm.include("a.nut"));
  EXPECT_EQ(evalString("trail"), "ab");
  EXPECT_TRUE(rvm.reload(true));
  EXPECT_EQ(evalString("trail"), "abab") << "forced: every file in list order, includes not run again";
  EXPECT_TRUE(rvm.reload(false));
  EXPECT_EQ(evalString("trail"), "abab") << "unforced: nothing changed";
  setFileTime("b.nut", 1000200);
  EXPECT_TRUE(rvm.reload(false));
  EXPECT_EQ(evalString("trail"), "ababb");
  EXPECT_EQ(rvm.files[1].modTime, 1000200);
}

TEST_F(ReloadableVmTest, FailedRerunStopsAtTheFailingFile) {
  writeFile("a.nut", "include(\"b.nut\")\ninclude(\"c.nut\")\n");
  writeFile("b.nut", "b <- 1\n");
  writeFile("c.nut", "c <- (\"c\" in getroottable()) ? c + 1 : 1\n");
  for (const char* f : {"a.nut", "b.nut", "c.nut"})
    setFileTime(f, 1000000);
  ASSERT_TRUE(rvm.include("a.nut"));
  writeFile("b.nut", "b <- \n");
  setFileTime("b.nut", 1000300);
  setFileTime("c.nut", 1000300);
  std::string log = capture_log([&] { EXPECT_FALSE(rvm.reload(false)); });
  EXPECT_NE(log.find("b.nut("), std::string::npos) << log;
  EXPECT_NE(log.find("): error: "), std::string::npos) << log;
  EXPECT_EQ(evalInt("c"), 1) << "files after the failing one are not run";
  EXPECT_EQ(rvm.files[1].modTime, 1000300);
  EXPECT_EQ(rvm.files[2].modTime, 1000000);
  EXPECT_TRUE(vm != nullptr);
}

TEST_F(ReloadableVmTest, RuntimeErrorsAreStampedScriptErrors) {
  writeFile("bad.nut", "function f() { local n = 3; return n.nofield }\nf()\n");
  std::string log = capture_log([&] { EXPECT_FALSE(rvm.include("bad.nut")); });
  EXPECT_NE(log.find("| script error:"), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR: "), std::string::npos) << log;
  EXPECT_NE(log.find("[n] 3"), std::string::npos) << log;
}

TEST_F(ReloadableVmTest, ScriptReRunsWhenItsFileChangesOnDisk) {
  init_file_notify();
  watch_real_dir(root.c_str());
  writeFile("live.nut", "value <- 1");
  setFileTime("live.nut", 1000000);
  ASSERT_TRUE(rvm.include("live.nut"));
  update_file_notify();
  clear_changed_files();
  writeFile("live.nut", "value <- 2");
  setFileTime("live.nut", 1000500);
  update_file_notify();
  ASSERT_TRUE(rvm.filesChanged());
  EXPECT_TRUE(rvm.reload(true));
  EXPECT_EQ(evalInt("value"), 2);
  close_file_notify();
}

TEST_F(ReloadableVmTest, DebugNativeWritesOneStampedLine) {
  std::string log = capture_log([&] { ASSERT_TRUE(run("debug()\ndebug(\"a\", 1)\ndebug(2.5, null, true)")); });
  // "%7.2f|" then the arguments each after a blank.
  EXPECT_NE(log.find("|\n"), std::string::npos) << log;
  EXPECT_NE(log.find("| a 1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("| 2.5 null true\n"), std::string::npos) << log;
}

// An argument whose text comes from a native that throws ends the call, but the
// line already begun is still ended, so the next log line starts on its own.
TEST_F(ReloadableVmTest, DebugNativeEndsItsLineWhenAnArgumentThrows) {
  ASSERT_TRUE(run("class Bad { function _tostring() { return dot3(vec4f(1), 1) } }"));
  std::string log = capture_log([&] {
    EXPECT_EQ(nativeError("debug(\"first\", Bad())"), "getInst: invalid argument type");
    debug("next");
  });
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
  EXPECT_NE(log.find("| first\n"), std::string::npos) << log;
  EXPECT_NE(log.find("| next\n"), std::string::npos) << log;
}

TEST_F(ReloadableVmTest, DebugTpNamesTheCallingFunction) {
  writeFile("tp.nut", "function here() {\n  debug_tp()\n}\nhere()\n");
  std::string log = capture_log([&] { ASSERT_TRUE(rvm.include("tp.nut")); });
  EXPECT_NE(log.find(root + "tp.nut(2): TRACE in here()"), std::string::npos) << log;
  log = capture_log([&] { ASSERT_TRUE(run("function there() { debug_tp() }\nthere()", "not_a_file.nut")); });
  EXPECT_NE(log.find("| (1): TRACE in there()"), std::string::npos) << log;
}

TEST_F(ReloadableVmTest, EnumerateFilesAndIsDirectory) {
  writeFile("dir/one.txt", "1");
  writeFile("dir/two.txt", "2");
  writeFile("empty/.keep", "");
  EXPECT_EQ(evalInt("enumerate_files(\"dir\").len()"), 2);
  EXPECT_EQ(evalString("enumerate_files(\"dir\").reduce(@(a, b) a + b)").size(), 14u);
  EXPECT_EQ(evalInt("enumerate_files(\"nothing_here\").len()"), 0);
  EXPECT_EQ(evalString("typeof enumerate_files(\"nothing_here\")"), "array");
  EXPECT_EQ(evalInt("is_directory(\"dir\") ? 1 : 0"), 1);
  EXPECT_EQ(evalInt("is_directory(\"dir/one.txt\") ? 1 : 0"), 0);
  for (const char* expr : {"is_directory(1)", "enumerate_files(null)", "include(3)"})
    EXPECT_EQ(nativeError(expr), "sq_get*() failed (type error)") << expr;
}

TEST_F(ReloadableVmTest, MathAndStringLibrariesOnly) {
  EXPECT_FLOAT_EQ(evalFloat("sqrt(16.0)"), 4.0f);
  EXPECT_EQ(evalString("format(\"%d-%s\", 3, \"x\")"), "3-x");
  EXPECT_EQ(evalInt("(\"blob\" in getroottable() || \"system\" in getroottable()) ? 1 : 0"), 0);
}

TEST_F(ReloadableVmTest, CloseAndInitManageTheList) {
  writeFile("a.nut", "a <- 1");
  ASSERT_TRUE(rvm.include("a.nut"));
  rvm.close();
  EXPECT_EQ(rvm.getVM(), nullptr);
  EXPECT_EQ(rvm.files.size(), 0);
  rvm.close();
  ASSERT_TRUE(rvm.init(1024));
  ASSERT_TRUE(rvm.include("a.nut"));
  ASSERT_TRUE(rvm.init(1024));
  EXPECT_EQ(rvm.files.size(), 0) << "init starts with an empty list";
  vm = rvm.getVM();
}

TEST_F(ReloadableVmTest, ReloadCyclesLeaveNoBlocksBehind) {
  writeFile("a.nut", "data <- [vec4f(1), {x = 1}, \"text\" + 1]\nfunction f() { return data }\n");
  ASSERT_TRUE(rvm.include("a.nut"));
  SqFunc<sqbind::SqObject> f;
  for (int i = 0; i < 3; i++) {
    ASSERT_TRUE(rvm.reload(true));
    f.bind(vm, "f");
    sq_collectgarbage(vm);
  }
  int64_t blocks = sqbind::vm_heap_blocks();
  for (int i = 0; i < 40; i++) {
    ASSERT_TRUE(rvm.reload(true));
    f.bind(vm, "f");
    sqbind::SqObject r = f();
    sq_collectgarbage(vm);
  }
  EXPECT_EQ(sqbind::vm_heap_blocks(), blocks);
  f.reset();
}

TEST_F(ReloadableVmTest, IncludeWithoutItsRegistryEntryThrows) {
  sq_pushregistrytable(vm);
  sq_pushstring(vm, "SqReloadableVM", -1);
  sq_deleteslot(vm, -2, SQFalse);
  sq_poptop(vm);
  writeFile("a.nut", "a <- 1");
  std::string log = capture_log([&] { EXPECT_NE(nativeError("include(\"a.nut\")"), ""); });
  EXPECT_NE(log.find("getReg 'SqReloadableVM' failed"), std::string::npos) << log;
  EXPECT_EQ(rvm.files.size(), 0);
}

TEST_F(ReloadableVmTest, FileFirstIncludedDuringAForcedRerunRunsTwice) {
  writeFile("a.nut", "if (\"second\" in getroottable()) include(\"late.nut\")\n");
  writeFile("late.nut", "late <- (\"late\" in getroottable()) ? late + 1 : 1\n");
  ASSERT_TRUE(rvm.include("a.nut"));
  ASSERT_TRUE(run("second <- true"));
  ASSERT_TRUE(rvm.reload(true));
  EXPECT_EQ(names(), "a.nut;late.nut;");
  EXPECT_EQ(evalInt("late"), 2) << "run when first included, then again by the forced loop";
}
