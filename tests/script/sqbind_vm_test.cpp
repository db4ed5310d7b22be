// VM set-up, running files, and the reports of compile and run-time errors.
#include <physfs.h>

#include <cstring>

#include "engine/core/mem.h"
#include "engine/core/utils.h"
#include "engine/script/sq_perf_timer.h"
#include "odd_length_archive.h"
#include "script_fixture.h"

namespace sqbind {
HSQUIRRELVM any_open_vm();  // the value dump's way to an open VM
}

class SqVmTest : public ScriptTest {};

TEST_F(SqVmTest, MissingFileFailsSilently) {
  openVM();
  std::string log = capture_log([&] { EXPECT_FALSE(sqbind::vfs_run_file(vm, "nope.nut")); });
  EXPECT_EQ(log, "");
  EXPECT_FALSE(sqbind::run_file(vm, (root + "nope.nut").c_str()));
}

TEST_F(SqVmTest, RunsFilesThroughTheVfsAndStandardFiles) {
  openVM();
  writeFile("a.nut", "counter <- (\"counter\" in getroottable()) ? counter + 1 : 1");
  SQInteger top = sq_gettop(vm);
  EXPECT_TRUE(sqbind::vfs_run_file(vm, "a.nut"));
  EXPECT_TRUE(sqbind::vfs_run_file(vm, "a.nut"));
  EXPECT_TRUE(sqbind::run_file(vm, (root + "a.nut").c_str()));
  EXPECT_EQ(evalInt("counter"), 3) << "each run runs the root code again over the same root table";
  EXPECT_TRUE(sqbind::vfs_compile_file(vm, "a.nut"));
  EXPECT_EQ(sq_gettype(vm, -1), OT_CLOSURE);
  sq_poptop(vm);
  EXPECT_EQ(sq_gettop(vm), top);
}

// A length the virtual file system cannot vouch for (unknown, or beyond what a
// buffer can hold) fails the load quietly; nothing is read on its word, and a
// length past 4 GB is not cut down to its low 32 bits.
TEST_F(SqVmTest, VfsFileWithImpossibleLengthFailsSilently) {
  struct Case {
    int64_t length;
    const char* text;
  };
  const Case cases[] = {
      {-1, "x <- 1"},
      {(int64_t(1) << 32) + 6, "a <- 1; b <- 2"},  // the low 32 bits name a script that compiles
      {int64_t(1) << 31, "c <- 3"},
  };
  openVM();
  for (const Case& c : cases) {
    OddLengthArchive archive{c.text, c.length};
    ASSERT_TRUE(mount_odd_length_archive(archive, "odd"));
    SQInteger top = sq_gettop(vm);
    std::string log = capture_log([&] {
      EXPECT_FALSE(sqbind::vfs_compile_file(vm, "odd/x.nut")) << c.length;
      EXPECT_FALSE(sqbind::vfs_run_file(vm, "odd/x.nut")) << c.length;
    });
    EXPECT_TRUE(unmount_odd_length_archive()) << PHYSFS_getLastErrorCode();
    EXPECT_EQ(log, "") << c.length;
    EXPECT_EQ(sq_gettop(vm), top) << c.length;
    EXPECT_LE(archive.largestReadRequest, (uint64_t)strlen(c.text)) << c.length;
  }
  EXPECT_EQ(evalInt("(\"a\" in getroottable()) ? 1 : 0"), 0) << "no cut-down script may run";
}

// A path that opens but has no length to read (a folder) is not an empty script.
TEST_F(SqVmTest, StandardFileWithoutLengthFails) {
  openVM();
  writeFile("dir/a.nut", "x <- 1");
  SQInteger top = sq_gettop(vm);
  std::string log = capture_log([&] {
    EXPECT_FALSE(sqbind::compile_file(vm, (root + "dir").c_str()));
    EXPECT_FALSE(sqbind::run_file(vm, (root + "dir").c_str()));
  });
  EXPECT_EQ(log, "");
  EXPECT_EQ(sq_gettop(vm), top);
}

// A native error raised by a file's root code unwinds to the caller of the run; the
// closure and root table the run pushed must not stay behind on the stack.
TEST_F(SqVmTest, NativeErrorInRootCodeLeavesTheStackAsItWas) {
  openVM();
  writeFile("boom.nut", "local keep = [1, 2]\nlocal v = dot3(vec4f(1), 1)\n");
  using Run = bool (*)(HSQUIRRELVM, const char*);
  const std::pair<Run, std::string> runs[] = {{sqbind::vfs_run_file, "boom.nut"},
                                              {sqbind::run_file, root + "boom.nut"}};
  for (const auto& [run_fn, path] : runs) {
    sq_pushinteger(vm, 77);  // something of the caller's below the run
    SQInteger top = sq_gettop(vm);
    std::string error;
    try {
      run_fn(vm, path.c_str());
    } catch (const sqbind::SquirrelError& e) {
      error = e.message;
    }
    EXPECT_EQ(error, "getInst: invalid argument type") << path;
    EXPECT_EQ(sq_gettop(vm), top) << path;
    SQInteger mine = 0;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getinteger(vm, -1, &mine)) && mine == 77) << path;
    sq_poptop(vm);
  }
  EXPECT_EQ(evalInt("40 + 2"), 42) << "the VM stays usable";
}

TEST_F(SqVmTest, CompileErrorIsPrintedWithPlace) {
  openVM();
  writeFile("broken.nut", "local a = 1\nlocal b = = 2\n");
  std::string log = capture_log([&] { EXPECT_FALSE(sqbind::vfs_run_file(vm, "broken.nut")); });
  EXPECT_NE(log.find("broken.nut(2,"), std::string::npos) << log;
  EXPECT_NE(log.find("): error: "), std::string::npos) << log;
}

TEST_F(SqVmTest, RuntimeErrorDumpsCallStackAndLocals) {
  openVM();
  writeFile("err.nut",
            "function fail(flag, count) {\n"
            "  local ratio = 0.5\n"
            "  local name = \"abc\"\n"
            "  local off = false\n"
            "  local nothing = null\n"
            "  local list = [1]\n"
            "  throw \"bad thing\"\n"
            "}\n"
            "fail(true, 12)\n");
  std::string log = capture_log([&] { EXPECT_FALSE(sqbind::vfs_run_file(vm, "err.nut")); });
  std::string real = get_real_path("err.nut").c_str();
  EXPECT_NE(log.find("\nCALLSTACK\n"), std::string::npos) << log;
  EXPECT_NE(log.find(real + "(7): ERROR: bad thing (in fail())"), std::string::npos) << log;
  EXPECT_NE(log.find(real + "(9): function main() (CALLSTACK)"), std::string::npos) << log;
  EXPECT_NE(log.find("\nLOCALS\n"), std::string::npos) << log;
  for (const char* line : {"[flag] true", "[count] 12", "[ratio] 0.5", "[name] \"abc\"", "[off] false",
                           "[nothing] NULL", "[list] ARRAY", "[this] TABLE"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

// Closing a null VM touches nothing: the open VM stays known and usable, the VM heap
// keeps every block and nothing is logged.
TEST_F(SqVmTest, CloseNullVmDoesNothing) {
  openVM();
  ASSERT_TRUE(run("kept <- [1, 2, 3]"));
  int64_t blocks = sqbind::vm_heap_blocks();
  std::string log = capture_log([] { sqbind::close_vm(nullptr); });
  EXPECT_EQ(log, "");
  EXPECT_EQ(sqbind::vm_heap_blocks(), blocks);
  EXPECT_EQ(sqbind::any_open_vm(), vm);
  EXPECT_EQ(evalInt("kept.len() + kept[2]"), 6);
}

TEST_F(SqVmTest, InstanceErrorDumpNamesClassesAndLastError) {
  openVM();
  ASSERT_TRUE(run("t <- PerfTimer()"));
  sq_pushroottable(vm);
  sq_pushstring(vm, "t", -1);
  sq_get(vm, -2);
  SQUserPointer p;
  sq_getinstanceup(vm, -1, &p, sqbind::ClassTag<SqVec4f>::tag());
  SQInteger top = sq_gettop(vm);
  std::string log = capture_log([&] { sqbind::dump_get_instance_error(vm, -1); });
  EXPECT_EQ(sq_gettop(vm), top);
  sq_pop(vm, 2);
  EXPECT_NE(log.find("instance UP: "), std::string::npos) << log;
  char tag[64];
  snprintf(tag, sizeof(tag), " tag %p", sqbind::ClassTag<SqPerfTimer>::tag());
  EXPECT_NE(log.find(tag), std::string::npos) << log;
  EXPECT_NE(log.find("last error: "), std::string::npos) << log;
}

TEST_F(SqVmTest, ValueDumpShowsInstancesAndStrings) {
  openVM();
  SqVec4f* p = (SqVec4f*)dlmalloc(sizeof(SqVec4f));
  sqbind::push(vm, p);
  sqbind::SqObject inst(vm, -1);
  sq_poptop(vm);
  sqbind::SqObject text(vm, "hello");
  std::string log = capture_log([&] {
    sq_debug_object(&inst.obj);
    sq_debug_object(&text.obj);
  });
  char expected[128];
  snprintf(expected, sizeof(expected), "(instance UP=%p hook=%p)", (void*)p,
           (void*)sqbind::releaseInstHook<SqVec4f>);
  EXPECT_NE(log.find(expected), std::string::npos) << log;
  EXPECT_NE(log.find("| hello\n"), std::string::npos) << log;
}
