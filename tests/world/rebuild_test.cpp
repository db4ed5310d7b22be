// The module's source list, the error word of build output, and rebuilds run
// through a stand-in rebuild script (and once through the real one).
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <set>
#include <string>
#include <vector>

#include "engine/core/log.h"
#include "engine/core/watch.h"
#include "engine/gui/visual_log.h"
#include "module_test_util.h"
#include "platform/win32/dynamic_library.h"

namespace {

class RebuildTest : public ModuleTest {
 protected:
  std::string src;

  void SetUp() override {
    ModuleTest::SetUp();
    src = game_dir + "src/";
    mkdir(src.c_str(), 0755);
    init_file_notify();
    set_error_message(nullptr);
  }
  void TearDown() override {
    ModuleTest::TearDown();  // the module's objects go before the module
    close_file_notify();
    set_error_message(nullptr);
  }
  void write(const std::string& rel, const std::string& text) {
    std::string path = src + rel;
    std::string dir = path.substr(0, path.rfind('/'));
    mkdir(dir.c_str(), 0755);
    write_file(path, text);
  }
  std::vector<std::string> listed() {
    std::vector<std::string> out;
    for (const GameObjSourceFile& f : gameobj_source_files)
      out.push_back(std::string(f.path.c_str()).substr(src.size()));
    return out;
  }
  // Gives a listed file a new time and waits until the change is collected.
  void touch_source(const std::string& rel) {
    std::string path = src + rel;
    write_file(path, read_file(path) + "\n");
    static int bump = 0;
    time_t when = time(nullptr) + 100 + 10 * ++bump;
    struct utimbuf t = {when, when};
    utime(path.c_str(), &t);
    for (int i = 0; i < 200 && !gameobj_sources_changed(); i++) {
      usleep(10000);
      update_file_notify();
    }
    ASSERT_TRUE(gameobj_sources_changed());
  }
  // Polls as the periodic check does until the reload answers true or the
  // rebuild has ended; the reload's last answer. A script quick enough to end
  // within the poll that started it leaves the swap to the next check.
  bool reload_until_done() {
    for (int i = 0; i < 500; i++) {
      if (reload_gameobj(false))
        return true;
      if (!gameobj_rebuild_running())
        return reload_gameobj(false);
      usleep(20000);
    }
    ADD_FAILURE() << "rebuild never ended";
    return false;
  }
  void write_script(const std::string& body) { write("rebuild_dll.sh", "#!/bin/sh\n" + body); }
  // A module whose one source, unit.cpp, is listed from main.ls and rebuilt by a
  // script of the given body; started as the game starts it.
  void start_host(const std::string& script_body) {
    write("main.ls", "import unit\n");
    write("unit.cpp", "int x;\n");
    write_script(script_body);
    init_gameobj_dll(src.c_str(), "main.ls");
  }
  // A hero made by the module now loaded.
  BaseObject* add_hero() {
    gameobj_func_table.init_hero();
    return reinterpret_cast<BaseObject*>(Hero_list[0]);
  }
};

TEST_F(RebuildTest, ImportsAreFollowedOnceEach) {
  write("main.ls", "import unit\nImport ignored\n#import ignored\nimport  a.b  trailing\n");
  write("unit.h", "/*\nimport unit\nimport sub.part\n*/\n");
  write("sub/part.cpp", "/*\nimport unit\n*/\n");
  write("a/b.cpp", "// nothing\n");
  write("ignored.cpp", "\n");
  snprintf(gameobj_source_dir, sizeof(gameobj_source_dir), "%s", src.c_str());
  add_gameobj_source_file((src + "main.ls").c_str());
  std::vector<std::string> expect = {"main.ls", "unit.h", "sub/part.cpp", "a/b.cpp"};
  EXPECT_EQ(listed(), expect);
  add_gameobj_source_file((src + "MAIN.LS").c_str());
  EXPECT_EQ(listed().size(), 4u) << "paths compare without case";
  add_gameobj_source_file((src + "missing.ls").c_str());
  EXPECT_EQ(listed().size(), 4u);
  clear_gameobj_source_files();
}

TEST_F(RebuildTest, ImportedSourceFilesAreFollowedInTurn) {
  // 'import hero.weapons' names hero/weapons.ls; its own imports are listed before
  // the next line of the importing file, and a file importing itself or its
  // importer is listed once.
  write("main.ls", "import hero.weapons\nimport \tlast\r\n");
  write("hero/weapons.ls", "import hero.weapons\nimport main\nimport hero.base\n");
  write("hero/base.ls", "import hero.weapons\n");
  write("last.ls", "\n");
  snprintf(gameobj_source_dir, sizeof(gameobj_source_dir), "%s", src.c_str());
  add_gameobj_source_file((src + "main.ls").c_str());
  std::vector<std::string> expect = {"main.ls", "hero/weapons.ls", "hero/base.ls", "last.ls"};
  EXPECT_EQ(listed(), expect);
  clear_gameobj_source_files();
}

TEST_F(RebuildTest, ModuleSourcesAreListedFromItsMainFile) {
  std::string dir = std::string(TORVANE_SOURCE_DIR_FOR_TESTS) + "/gameobj/";
  snprintf(gameobj_source_dir, sizeof(gameobj_source_dir), "%s", dir.c_str());
  add_gameobj_source_file((dir + "main.ls").c_str());
  std::set<std::string> names;
  for (const GameObjSourceFile& f : gameobj_source_files) {
    names.insert(std::string(f.path.c_str()).substr(dir.size()));
    EXPECT_GT(f.time, 0);
  }
  // Every source of the module is watched: an edit anywhere rebuilds it.
  DIR* d = opendir(dir.c_str());
  ASSERT_TRUE(d);
  int sources = 0;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    bool source = name.size() > 2 && (name.substr(name.size() - 2) == ".h" ||
                                      (name.size() > 4 && name.substr(name.size() - 4) == ".cpp"));
    if (!source)
      continue;
    sources++;
    EXPECT_TRUE(names.count(name)) << name << " is watched";
  }
  closedir(d);
  EXPECT_GT(sources, 10);
  EXPECT_TRUE(names.count("main.ls"));
  clear_gameobj_source_files();
}

TEST_F(RebuildTest, ErrorWordIsAWholeWord) {
  struct Case {
    const char* text;
    bool error;
  } cases[] = {
      {"Error: boom", true},         {"2 errors", true},       {"ERROR", true},
      {"Errors: 0", true},           {"x.cpp:1: error: y", true}, {"errorlevel", false},
      {"terror", false},             {"my_error", false},      {"errorss", false},
      {"no problem", false},         {"error_count", false},   {"(error)", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(line_has_error_word(c.text), c.error) << c.text;
}

TEST_F(RebuildTest, ChangedSourceRebuildsAndSwapsTheModuleIn) {
  start_host("echo compiling\necho 'warning: fine'\ncp '" + module_variant("gameobj_gen2.so") +
               "' \"$1/gameobj_new.so\"\nexit 0\n");
  BaseObject* hero = add_hero();
  EXPECT_FALSE(reload_gameobj(false)) << "nothing changed";
  touch_source("unit.cpp");
  EXPECT_TRUE(reload_until_done());
  EXPECT_EQ(hero->handleRequest(GAMEOBJ_REQUEST_GENERATION), 2);
  EXPECT_FALSE(has_error_message());
  EXPECT_FALSE(gameobj_sources_changed()) << "the list holds the new times";
}

TEST_F(RebuildTest, ChangeNoticeWithTheRecordedTimeStartsNoRebuild) {
  start_host("echo must not run\nexit 0\n");
  // Rewritten, then given back the time it was listed with.
  std::string path = src + "unit.cpp";
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  write_file(path, "int x;\n");
  const struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  for (int i = 0; i < 200 && !was_real_file_changed(path.c_str()); i++) {
    usleep(10000);
    update_file_notify();
  }
  ASSERT_TRUE(was_real_file_changed(path.c_str()));
  EXPECT_FALSE(gameobj_sources_changed());
  EXPECT_FALSE(poll_gameobj_rebuild());
  EXPECT_FALSE(gameobj_rebuild_running());
}

TEST_F(RebuildTest, FailedRebuildIsNeverLoaded) {
  struct Case {
    const char* what;
    const char* tail;
  } cases[] = {
      {"error line with exit 0", "echo 'unit.cpp:3: error: boom'\nexit 0\n"},
      {"non-zero exit", "echo building\nexit 3\n"},
  };
  start_host("exit 0\n");
  BaseObject* hero = add_hero();
  for (const Case& c : cases) {
    // The script leaves a module behind, but reports failure.
    write_script("cp '" + module_variant("gameobj_gen2.so") + "' \"$1/gameobj_new.so\"\n" + c.tail);
    touch_source("unit.cpp");
    EXPECT_FALSE(reload_until_done()) << c.what;
    EXPECT_FALSE(reload_gameobj(false)) << c.what;
    EXPECT_EQ(hero->handleRequest(GAMEOBJ_REQUEST_GENERATION), 1) << c.what;
    EXPECT_FALSE(file_exists(path_in_game_dir("gameobj_new.so"))) << c.what;
    ASSERT_TRUE(has_error_message()) << c.what;
    EXPECT_NE(strstr(error_message_text.data, "gameobj rebuild failed!!!"), nullptr) << c.what;
  }
}

// The log lines of a start-up, a rebuild that worked with its swap, and one that
// failed, read back from the log's history.
TEST_F(RebuildTest, StartUpRebuildAndSwapLogTheirLines) {
  bool saved_dev_tools = use_dev_tools;
  use_dev_tools = true;  // keeps the history
  size_t mark = log_history().size();
  auto logged = [&](const std::string& line) { return log_history().find(line, mark) != std::string::npos; };

  start_host("cp '" + module_variant("gameobj_gen2.so") + "' \"$1/gameobj_new.so\"\nexit 0\n");
  EXPECT_TRUE(logged(std::string("gameobj source path: ") + make_full_path(src.c_str()).str));
  touch_source("unit.cpp");
  EXPECT_TRUE(reload_until_done());
  EXPECT_TRUE(logged("=== rebuilding gameobj DLL"));
  EXPECT_TRUE(logged("=== DLL rebuild done in "));
  EXPECT_TRUE(logged("gameobj reload ok"));

  write_script("echo building\nexit 3\n");
  touch_source("unit.cpp");
  EXPECT_FALSE(reload_until_done());
  EXPECT_TRUE(logged("!!! failed to rebuild gameobj DLL (code 3)"));
  use_dev_tools = saved_dev_tools;
}

// The real script, run on the real build for a game folder of its own (never the
// build's bin/ folder, which other tests load from meanwhile), after the module's
// objects changed as an edit of its sources would make them: it links the module
// somewhere else and leaves only gameobj_new.so in the game folder; neither the game
// folder's gameobj.so nor the build's is written.
TEST_F(RebuildTest, RealRebuildScriptLeavesOnlyTheNewModule) {
  std::string build = WORLD_BUILD_DIR;
  std::string built_module = build + "/bin/gameobj.so";
  struct stat built_before;
  ASSERT_EQ(stat(built_module.c_str(), &built_before), 0);
  std::string game_module = read_file(path_in_game_dir("gameobj.so"));
  ASSERT_EQ(system(("find '" + build + "/gameobj.build' -name '*.o' -exec touch {} +").c_str()), 0);

  std::string cmd = "sh '" + std::string(TORVANE_SOURCE_DIR_FOR_TESTS) + "/gameobj/rebuild_dll.sh' '" + game_dir +
                    "' '" + build + "' 2>&1";
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_TRUE(p);
  char line[1024];
  std::string output;
  while (fgets(line, sizeof(line), p))
    output += line;
  EXPECT_EQ(pclose(p), 0) << output;
  EXPECT_NE(output.find("Linking"), std::string::npos) << "the module was linked anew\n" << output;

  std::string made = path_in_game_dir("gameobj_new.so");
  ASSERT_TRUE(file_exists(made)) << output;
  EXPECT_EQ(check_gameobj_module(made.c_str()), nullptr);
  EXPECT_EQ(read_file(path_in_game_dir("gameobj.so")), game_module);
  struct stat built_after;
  ASSERT_EQ(stat(built_module.c_str(), &built_after), 0);
  EXPECT_EQ(built_after.st_ino, built_before.st_ino) << output;
  EXPECT_EQ(built_after.st_mtim.tv_sec, built_before.st_mtim.tv_sec);
  EXPECT_EQ(built_after.st_mtim.tv_nsec, built_before.st_mtim.tv_nsec);
  EXPECT_FALSE(file_exists(path_in_game_dir("gameobj_new.so.tmp")));
}

// A build the checks refuse changes nothing on disk: the next start-up loads the
// module that ran before it.
TEST_F(RebuildTest, RefusedRebuildLeavesTheModuleOfTheNextStartUp) {
  std::string game_module = read_file(path_in_game_dir("gameobj.so"));
  start_host("cp '" + module_variant("gameobj_47.so") + "' \"$1/gameobj_new.so\"\nexit 0\n");
  touch_source("unit.cpp");
  EXPECT_FALSE(reload_until_done());
  ASSERT_TRUE(has_error_message());
  EXPECT_NE(strstr(error_message_text.data, "gameobj reload failed: gameobj classes changed, need restart"), nullptr)
      << error_message_text.data;
  EXPECT_FALSE(file_exists(path_in_game_dir("gameobj_new.so")));
  EXPECT_EQ(read_file(path_in_game_dir("gameobj.so")), game_module);

  // The next start-up.
  close_gameobj_dll();
  for (void*& v : gameobj_vtables)
    v = nullptr;
  init_gameobj_dll(src.c_str(), "main.ls");
  BaseObject* hero = add_hero();
  EXPECT_EQ(hero->handleRequest(GAMEOBJ_REQUEST_GENERATION), 1);
}

// The loader answers a name it has already loaded with that image, without reading
// the file again: the check must look at the file as it is now, and leave no copy.
TEST_F(RebuildTest, CandidateIsCheckedFromTheFileAsItIsNow) {
  start_host("exit 0\n");
  BaseObject* hero = add_hero();
  std::string candidate = path_in_game_dir("gameobj_new.so");
  copy_file(module_variant("gameobj_gen2.so"), candidate);
  void* held = load_library(candidate.c_str());  // an image that stays under that name
  ASSERT_NE(held, nullptr);
  copy_file(module_variant("gameobj_47.so"), candidate);

  EXPECT_STREQ(check_gameobj_module(candidate.c_str()), "gameobj classes changed, need restart");
  EXPECT_FALSE(reload_gameobj(false));
  EXPECT_EQ(hero->handleRequest(GAMEOBJ_REQUEST_GENERATION), 1);
  free_library(held);
  std::set<std::string> names;
  DIR* dir = opendir(game_dir.c_str());
  ASSERT_TRUE(dir);
  while (dirent* entry = readdir(dir))
    names.insert(entry->d_name);
  closedir(dir);
  EXPECT_EQ(names, (std::set<std::string>{".", "..", "gameobj.so", "src"})) << "no copy is left behind";
}

// Shutting the host down while the script runs ends the script and waits for it: no
// zombie is left and nothing is written afterwards. The script waits on a pipe that
// the test holds open: once the host is closed, no one reads it any more.
TEST_F(RebuildTest, ClosingTheHostEndsARunningRebuild) {
  std::string gate = game_dir + "gate";
  ASSERT_EQ(mkfifo(gate.c_str(), 0600), 0);
  start_host("read line < '" + gate + "'\ncp '" + module_variant("gameobj_gen2.so") +
               "' \"$1/gameobj_new.so\"\n");
  touch_source("unit.cpp");
  EXPECT_TRUE(poll_gameobj_rebuild());
  ASSERT_TRUE(gameobj_rebuild_running());
  int writer = -1;
  for (int i = 0; i < 500 && writer < 0; i++) {
    writer = open(gate.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // fails until the script reads
    if (writer < 0)
      usleep(10000);
  }
  ASSERT_GE(writer, 0) << "the script never opened its gate";

  close_gameobj_dll();
  EXPECT_FALSE(gameobj_rebuild_running());
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child is left";
  EXPECT_EQ(errno, ECHILD);
  // No reader is left: the write fails instead of letting the script go on.
  signal(SIGPIPE, SIG_IGN);
  EXPECT_EQ(::write(writer, "go\n", 3), -1);
  EXPECT_EQ(errno, EPIPE);
  signal(SIGPIPE, SIG_DFL);
  close(writer);
  usleep(100000);
  EXPECT_FALSE(file_exists(path_in_game_dir("gameobj_new.so")));
}
}  // namespace

namespace {

// The game's own call: the module beside the program, its sources at "../gameobj/".
TEST(GameLayout, StartUpLoadsTheBuiltModuleAndWatchesItsSources) {
  char saved[260];
  memcpy(saved, app_path, sizeof(saved));
  snprintf(app_path, sizeof(app_path), "%s/", WORLD_BIN_DIR);
  init_file_notify();
  init_gameobj_dll("../gameobj/", "main.ls");
  EXPECT_NE(gameobj_module, nullptr);
  EXPECT_STREQ(gameobj_source_dir, "../gameobj/");
  EXPECT_STREQ(gameobj_main_file, "../gameobj/main.ls");
  bool has_module_cpp = false;
  for (const GameObjSourceFile& f : gameobj_source_files)
    has_module_cpp |= strstr(f.path.c_str(), "/gameobj/module.cpp") != nullptr;
  EXPECT_TRUE(has_module_cpp);
  EXPECT_EQ(dir_watches.size(), 1);
  close_gameobj_dll();
  EXPECT_EQ(gameobj_module, nullptr);
  EXPECT_TRUE(gameobj_source_files.isEmpty());
  close_file_notify();
  memcpy(app_path, saved, sizeof(saved));
}

}  // namespace
