// The game-script bridge: loading, guarded entry calls, reload and the upgrade
// screen, over a stand-in module table; and the shipped game script itself.
#include <physfs.h>

#include <unistd.h>

#include <cstdlib>

#include "engine/core/stream.h"
#include "engine/core/watch.h"
#include "engine/gui/gui_screen.h"
#include "engine/gui/visual_log.h"
#include "engine/script/game_script.h"
#include "engine/shared/game_state.h"
#include "engine/world/gameobj_api.h"
#include "script_fixture.h"

using sqbind::SqObject;

namespace {

// What the stand-in module saw.
int bind_calls = 0;
int screens_closed = 0;
DynArray<BaseGuiScreen*> ui_screens_set;
std::string last_stats;

struct FakeUpgradeScreen : BaseGuiScreen {
  void close() override { screens_closed++; }
};

BaseGuiScreen* create_upgrade_screen() {
  upgrade_screen = new FakeUpgradeScreen;
  return upgrade_screen;
}

void set_ui_screen(BaseGuiScreen* s) {
  ui_screens_set.push(&s);
  cur_game_screen = s;
}

// The module's script binding: one native the game script hands its stats to.
SQInteger apply_hero_stats(HSQUIRRELVM v) {
  sq_pushstring(v, "max_health", -1);
  sq_get(v, 2);
  SQInteger health = 0;
  sq_getinteger(v, -1, &health);
  sq_pushstring(v, "dual_wield", -1);
  sq_get(v, 2);
  SQInteger dual = 0;
  sq_getinteger(v, -1, &dual);
  last_stats = "health=" + std::to_string(health) + " dual=" + std::to_string(dual);
  return 0;
}

int module_answer() { return 42; }

// The module binds its classes and functions before the game script runs.
void bind_module(HSQUIRRELVM v) {
  bind_calls++;
  sqbind::def(v, module_answer, "module_answer");
}

}  // namespace

class GameScriptTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    gameobj_func_table = GameObjFuncTable{};
    gameobj_func_table.bind_gameobj = bind_module;
    gameobj_func_table.set_game_ui_screen = set_ui_screen;
    upgrade_screen_Class::createScreen = create_upgrade_screen;
    upgrade_screen = nullptr;
    cur_game_screen = nullptr;
    bind_calls = screens_closed = 0;
    ui_screens_set.clear();
    last_stats.clear();
    set_error_message(nullptr);
    cur_level = 0;
    up_points = 0;
  }
  void TearDown() override {
    close_game_script();
    vm = nullptr;
    if (upgrade_screen)
      upgrade_screen->destroy();
    upgrade_screen = nullptr;
    destroy_queued_gui_elements();
    clear_changed_files();
    set_error_message(nullptr);
    ScriptTest::TearDown();
  }
  std::string errorMessage() { return has_error_message() ? error_message_text.data : ""; }
  void startWith(const std::string& main_nut) {
    writeFile("script/main.nut", main_nut);
    setFileTime("script/main.nut", 1000000);
    init_game_script();
    vm = nullptr;  // closed by close_game_script, not by the fixture
  }
  void changeMain(const std::string& main_nut) {
    writeFile("script/main.nut", main_nut);
    setFileTime("script/main.nut", 1000700 + 100 * changes++);
    changed_files.push().assign((root + "script/main.nut").c_str());
  }
  HSQUIRRELVM svm() { return get_world_script_vm(); }
  int changes = 0;
};

// A script that records the calls it gets.
static const char* recording_script =
    "calls <- []\n"
    "function reset_game() { calls.append(\"reset\") }\n"
    "function on_torvane(level, points) { calls.append(\"torvane \" + level + \" \" + points) }\n"
    "function get_upgrade_tree() { throw \"tree is broken\" }\n"
    "function get_upgrade_node(name) { return { name = name } }\n"
    "function apply_upgrades() { calls.append(\"apply\") }\n";

static std::string calls_of(HSQUIRRELVM v) {
  std::string code = "local s = \"\"; foreach (c in calls) s += c + \";\"; return s";
  sqbind::compile_buffer(v, code.c_str(), (SQInteger)code.size(), "calls");
  sq_pushroottable(v);
  sq_call(v, 1, SQTrue, SQTrue);
  const SQChar* s = "";
  sq_getstring(v, -1, &s);
  std::string out = s;
  sq_pop(v, 2);
  return out;
}

TEST_F(GameScriptTest, EntryFunctionsAreCalledWithTheirArguments) {
  startWith(recording_script);
  EXPECT_EQ(bind_calls, 1);
  ASSERT_NE(svm(), nullptr);
  cur_level = 3;
  up_points = 15;
  reset_game_script();
  game_script_torvane();
  apply_upgrades();
  SqObject node = get_upgrade_node("health1");
  EXPECT_EQ(node.obj._type, OT_TABLE);
  EXPECT_EQ(calls_of(svm()), "reset;torvane 3 15;apply;");
  EXPECT_EQ(errorMessage(), "");
  game_script_after_gameobj_reload();
  EXPECT_EQ(bind_calls, 2);
}

TEST_F(GameScriptTest, BindingsExistWhenTheScriptLoads) {
  startWith("loaded <- module_answer() + getx(vec4f(1)) + ((PerfTimer() - PerfTimer()) <= 0 ? 1 : 0)\n"
            "function get_upgrade_items() { return [loaded] }\n");
  EXPECT_EQ(errorMessage(), "");
  SqObject items = get_upgrade_items();
  ASSERT_TRUE(items.isArray());
  items.push(svm());
  sq_pushinteger(svm(), 0);
  sq_get(svm(), -2);
  SQFloat f = 0;
  sq_getfloat(svm(), -1, &f);
  sq_pop(svm(), 2);
  EXPECT_EQ(f, 44.0f);
}

TEST_F(GameScriptTest, FailingEntryShowsTheErrorAndReturnsNull) {
  startWith(recording_script);
  SqObject tree;
  std::string log = capture_log([&] { tree = get_upgrade_tree(); });
  EXPECT_TRUE(tree.isNull());
  EXPECT_EQ(errorMessage(), "Error in game script:\nSqFunc<> call failed");
  EXPECT_NE(log.find("script error:"), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR: tree is broken (in get_upgrade_tree())"), std::string::npos) << log;
}

TEST_F(GameScriptTest, MissingEntriesAreSkippedSilently) {
  startWith("function get_upgrade_items() { return [\"a\"] }\n");
  EXPECT_EQ(on_upgrade_node_clicked("x", 5), 0);
  EXPECT_TRUE(get_upgrade_tree().isNull());
  reset_game_script();
  game_script_torvane();
  apply_upgrades();
  EXPECT_TRUE(get_upgrade_items().isArray());
  EXPECT_EQ(errorMessage(), "");
}

TEST_F(GameScriptTest, NonIntegerClickResultIsATypeError) {
  startWith("function on_upgrade_node_clicked(name, n) { return name }\n");
  EXPECT_EQ(on_upgrade_node_clicked("abc", 5), 0);
  EXPECT_EQ(errorMessage(), "Error in game script:\nsq_get*() failed (type error)");
}

TEST_F(GameScriptTest, NativeErrorInsideAnEntryIsCaught) {
  startWith("function apply_upgrades() { vec4f(1)[7] }\n");
  apply_upgrades();
  EXPECT_EQ(errorMessage(), "Error in game script:\nvec4f index out of range");
}

TEST_F(GameScriptTest, BrokenMainLeavesHandlesUnboundUntilFixed) {
  std::string log = capture_log([&] { startWith("function reset_game() {\n"); });
  EXPECT_EQ(errorMessage().rfind("Error in game script:\n", 0), 0u) << errorMessage();
  EXPECT_GT(errorMessage().size(), strlen("Error in game script:\n"));
  EXPECT_NE(log.find("script/main.nut("), std::string::npos) << log;
  EXPECT_NE(log.find("): error: "), std::string::npos) << log;
  EXPECT_TRUE(game_script_reset_game.isNull());
  ASSERT_NE(svm(), nullptr) << "the VM stays open with its file list";

  changeMain(recording_script);
  capture_log([&] { check_game_script(); });
  EXPECT_FALSE(game_script_reset_game.isNull());
  EXPECT_EQ(errorMessage(), "");
  EXPECT_EQ(calls_of(svm()), "reset;torvane 0 0;");
}

TEST_F(GameScriptTest, ReloadWithACompileErrorKeepsThePreviousClosures) {
  startWith(recording_script);
  changeMain("function reset_game() { calls.append(\"new\") \n");
  std::string log = capture_log([&] { check_game_script(); });
  EXPECT_NE(log.find("--- reloading game script ---"), std::string::npos);
  EXPECT_NE(log.find("): error: "), std::string::npos) << log;
  EXPECT_EQ(errorMessage().rfind("Error in game script:\n", 0), 0u) << errorMessage();
  EXPECT_EQ(calls_of(svm()), "reset;torvane 0 0;") << "the old reset_game and on_torvane still run";
  // No upgrade screen and no current screen: a new one is made current.
  ASSERT_EQ(ui_screens_set.size(), 2);
  EXPECT_EQ(ui_screens_set[0], nullptr);
  EXPECT_NE(ui_screens_set[1], nullptr);
  EXPECT_EQ(cur_game_screen, upgrade_screen);
}

TEST_F(GameScriptTest, ReloadRebuildsOrDropsTheUpgradeScreen) {
  startWith(recording_script);
  struct OtherScreen : BaseGuiScreen {};
  for (int shown : {0, 1}) {
    SCOPED_TRACE(shown ? "upgrade screen shown" : "another screen shown");
    upgrade_screen = new FakeUpgradeScreen;
    BaseGuiScreen* old = upgrade_screen;
    OtherScreen* other = shown ? nullptr : new OtherScreen;
    cur_game_screen = shown ? old : other;
    ui_screens_set.clear();
    screens_closed = 0;
    changeMain(recording_script);
    capture_log([&] { check_game_script(); });
    clear_changed_files();
    EXPECT_EQ(screens_closed, 1) << "the old upgrade screen is closed";
    if (shown) {
      ASSERT_EQ(ui_screens_set.size(), 2);
      EXPECT_NE(upgrade_screen, nullptr);
      EXPECT_EQ(cur_game_screen, upgrade_screen);
    } else {
      EXPECT_EQ(ui_screens_set.size(), 0);
      EXPECT_EQ(upgrade_screen, nullptr);
      EXPECT_EQ(cur_game_screen, other);
      other->destroy();
      cur_game_screen = nullptr;
    }
    destroy_queued_gui_elements();
  }
}

TEST_F(GameScriptTest, NothingChangedNothingReloaded) {
  startWith(recording_script);
  set_error_message("kept");
  check_game_script();
  EXPECT_EQ(errorMessage(), "kept");
  EXPECT_EQ(calls_of(svm()), "");
}

TEST_F(GameScriptTest, CloseReleasesEverything) {
  int64_t before = sqbind::vm_heap_blocks();
  startWith(recording_script);
  close_game_script();
  EXPECT_EQ(get_world_script_vm(), nullptr);
  EXPECT_TRUE(game_script_reset_game.isNull());
  EXPECT_EQ(game_script_reset_game.vm, nullptr);
  EXPECT_EQ(sqbind::vm_heap_blocks(), before);
  // Calls after close are skipped.
  reset_game_script();
  EXPECT_TRUE(get_upgrade_tree().isNull());
}

// A second start without a close first: the handles of the first VM are released
// before it closes, and the new VM holds the entry functions.
TEST_F(GameScriptTest, StartingAgainWithoutCloseReleasesTheOldVmFirst) {
  int64_t before = sqbind::vm_heap_blocks();
  startWith(recording_script);
  init_game_script();
  EXPECT_NE(svm(), nullptr);
  EXPECT_FALSE(game_script_reset_game.isNull());
  EXPECT_EQ(game_script_reset_game.vm, svm());
  reset_game_script();
  EXPECT_EQ(calls_of(svm()), "reset;");
  close_game_script();
  EXPECT_EQ(sqbind::vm_heap_blocks(), before);
}

namespace {

// Streams that count every call made on them: the persistence stubs must make none.
struct CountingInput : InputStream {
  int calls = 0;
  int readSome(void*, int) override { return ++calls, 0; }
  void read(void*, int n) override {
    ++calls;
    throw Exception("read", n);
  }
  int tell() override { return ++calls, 0; }
  void seek(int) override { ++calls; }
  void seekCur(int) override { ++calls; }
  void seekEnd(int) override { ++calls; }
};
struct CountingOutput : OutputStream {
  int calls = 0;
  void write(const void*, int) override { ++calls; }
  int tell() override { return ++calls, 0; }
  void seek(int) override { ++calls; }
  void seekEnd(int) override { ++calls; }
};

}  // namespace

// The save-game globals: a new empty table of the game script's VM each time, held by
// the handle (it survives a collection) and off the stack. The persistence entry
// points read and write nothing, give null and leave the VM's stack as it was.
TEST_F(GameScriptTest, SavegameGlobalsAndPersistenceStubs) {
  startWith(recording_script);
  HSQUIRRELVM vm = svm();
  SQInteger top = sq_gettop(vm);
  SqObject g = get_savegame_globals();
  SqObject h = get_savegame_globals();
  EXPECT_EQ(sq_gettop(vm), top);
  ASSERT_EQ(g.obj._type, OT_TABLE);
  EXPECT_EQ(g.getVM(), vm);
  EXPECT_NE(g.obj._unVal.pTable, h.obj._unVal.pTable) << "a new table each time";
  sq_collectgarbage(vm);
  g.push(vm);
  EXPECT_EQ(sq_gettype(vm, -1), OT_TABLE);
  EXPECT_EQ(sq_getsize(vm, -1), 0);
  sq_poptop(vm);

  CountingInput in;
  CountingOutput out;
  EXPECT_TRUE(load_data(in, vm).isNull());
  EXPECT_TRUE(load_ref(in, vm).isNull());
  EXPECT_TRUE(load_script_data(in, vm).isNull());
  finish_loading_script_data(vm);
  save_data(g, out);
  save_ref(g, out);
  save_script_data(g, out);
  save_script_refs(out);
  EXPECT_EQ(in.calls, 0);
  EXPECT_EQ(out.calls, 0);
  EXPECT_EQ(sq_gettop(vm), top);
}

// ---- the shipped game script ---------------------------------------------------

class ShippedGameScriptTest : public GameScriptTest {
 protected:
  void SetUp() override {
    GameScriptTest::SetUp();
    // The tests run in tests/script of the source tree.
    const char* src = getenv("TORVANE_SOURCE_DIR");
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
    data = (src ? std::string(src) : std::string(cwd) + "/../..") + "/data/";
    ASSERT_NE(PHYSFS_mount(data.c_str(), nullptr, 1), 0);
    init_game_script();
  }
  void TearDown() override {
    GameScriptTest::TearDown();
    PHYSFS_unmount(data.c_str());
  }
  std::string data;

  std::string nodeState(const char* name) {
    SqObject node = get_upgrade_node(name);
    if (node.isNull())
      return "none";
    node.push(svm());
    sq_pushstring(svm(), "state", -1);
    sq_get(svm(), -2);
    const SQChar* s = "";
    sq_getstring(svm(), -1, &s);
    std::string out = s;
    sq_pop(svm(), 2);
    return out;
  }
};

TEST_F(ShippedGameScriptTest, UpgradeTreeBuyingAndReset) {
  ASSERT_EQ(errorMessage(), "");
  ASSERT_FALSE(game_script_get_upgrade_tree.isNull());
  SqObject tree = get_upgrade_tree();
  ASSERT_TRUE(tree.isArray());
  tree.push(svm());
  EXPECT_EQ(sq_getsize(svm(), -1), 7);
  sq_poptop(svm());

  EXPECT_EQ(nodeState("health1"), "available");
  EXPECT_EQ(nodeState("health2"), "locked");
  EXPECT_EQ(nodeState("nosuch"), "none");

  EXPECT_EQ(on_upgrade_node_clicked("health1", 4), 4) << "too expensive";
  EXPECT_EQ(on_upgrade_node_clicked("health2", 50), 50) << "locked";
  EXPECT_EQ(on_upgrade_node_clicked("health1", 12), 7);
  EXPECT_EQ(on_upgrade_node_clicked("health1", 7), 7) << "owned already";
  EXPECT_EQ(nodeState("health1"), "owned");
  EXPECT_EQ(nodeState("health2"), "available");
  EXPECT_EQ(on_upgrade_node_clicked("health2", 10), 0);
  SqObject items = get_upgrade_items();
  items.push(svm());
  EXPECT_EQ(sq_getsize(svm(), -1), 2);
  sq_poptop(svm());

  // The module's native sees the stats when it has bound one.
  sq_pushroottable(svm());
  sq_pushstring(svm(), "apply_hero_stats", -1);
  sq_newclosure(svm(), apply_hero_stats, 0);
  sq_newslot(svm(), -3, SQFalse);
  sq_poptop(svm());
  apply_upgrades();
  EXPECT_EQ(last_stats, "health=175 dual=0");

  cur_level = 2;
  up_points = 5;
  std::string log = capture_log([&] { game_script_torvane(); });
  EXPECT_NE(log.find("torvane: level 2 points 5"), std::string::npos) << log;

  reset_game_script();
  EXPECT_EQ(nodeState("health1"), "available");
  EXPECT_EQ(last_stats, "health=100 dual=0");
  EXPECT_EQ(errorMessage(), "");
}
