// The module link, unlink and reload with real builds of the stand-in module loaded
// into this program (built with its symbols exported, as the game is).
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/utils.h"
#include "engine/core/watch.h"
#include "engine/gui/gui_host.h"
#include "engine/gui/gui_element.h"
#include "engine/gui/gui_screen.h"
#include "engine/gui/gui_style.h"
#include "engine/gui/visual_log.h"
#include "engine/world/camera.h"
#include "engine/world/collision.h"
#include "engine/world/gameobj_host.h"
#include "module_test_util.h"
#include "platform/win32/dynamic_library.h"
#include "tests/support/dynamic_symbols.h"

namespace {

void*& vtable_of(BaseObject* obj) { return *reinterpret_cast<void**>(obj); }

int generation_of(BaseObject* obj) { return obj->handleRequest(GAMEOBJ_REQUEST_GENERATION); }

TEST_F(ModuleTest, LinkFillsEveryNamedSlotAndUnlinkEmptiesThem) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  void** slots = reinterpret_cast<void**>(&gameobj_func_table);
  for (int i = 0; i < GAMEOBJ_FUNC_COUNT; i++) {
    if (i == 15)
      EXPECT_EQ(slots[i], nullptr) << "the reserved slot has no name";
    else
      EXPECT_NE(slots[i], nullptr) << gameobj_func_names[i];
  }
  EXPECT_EQ(gameobj_vtables[0], nullptr);
  std::set<void*> distinct;
  for (int i = 1; i < GAMEOBJ_VTABLE_COUNT; i++)
    distinct.insert(gameobj_vtables[i]);
  EXPECT_EQ(distinct.size(), 45u);
  EXPECT_NE(upgrade_screen_Class::createScreen, nullptr) << "link_gui ran";
  EXPECT_NE(credits_screen_Class::createScreen, nullptr);

  BaseGuiScreen* screen = upgrade_screen_Class::createScreen();
  EXPECT_EQ(upgrade_screen, screen);
  cur_game_screen = screen;
  unload_gameobj_dll();
  for (int i = 0; i < GAMEOBJ_FUNC_COUNT; i++)
    EXPECT_EQ(slots[i], nullptr) << i;
  EXPECT_EQ(upgrade_screen_Class::createScreen, nullptr);
  EXPECT_EQ(credits_screen_Class::createScreen, nullptr);
  EXPECT_EQ(upgrade_screen, nullptr) << "screen pointers are cleared with the module";
  EXPECT_EQ(cur_game_screen, nullptr);
  EXPECT_EQ(gui_screen_destroy_queue_size(), 0);
  on_gui_element_destroyed(nullptr);  // nothing to tell, nothing happens
}

// Unlinking deletes the module's screens and their element trees before it
// empties the shared styles, so no element of theirs outlives the values it
// borrowed; a screen outside the pairs that borrows from them drops the values.
TEST_F(ModuleTest, UnlinkDeletesTheScreensBeforeEmptyingTheStyles) {
  struct AnySelector : GuiSelector {
    bool match(GuiElement*) override { return true; }
    int priority() override { return 0; }
  };
  static int sheets_seen_by_dying_element = -1;
  struct WatchingElement : GuiElement {
    ~WatchingElement() override { sheets_seen_by_dying_element = common_style.size(); }
  };
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  common_style.addSheet(new AnySelector, new GuiProperty<float>(GUI_PROP_SCALAR_A, 2.0f));
  hud_style.addSheet(new AnySelector, new GuiProperty<float>(GUI_PROP_SCALAR_B, 3.0f));
  int common_sheets = common_style.size();

  BaseGuiScreen* module_screen = upgrade_screen_Class::createScreen();
  module_screen->style = &common_style;
  queue_destruction(module_screen->root);  // the tree the module built goes with the rest
  module_screen->root = new GuiElement;
  module_screen->root->addChild(new WatchingElement);
  module_screen->restyle();
  ASSERT_EQ(module_screen->root->getChild(0)->readValue<float>(GUI_PROP_SCALAR_A, 0), 2.0f);

  BaseGuiScreen* stray = new BaseGuiScreen;
  stray->style = &hud_style;
  stray->root = new GuiElement;
  stray->restyle();
  ASSERT_EQ(stray->root->readValue<float>(GUI_PROP_SCALAR_B, 0), 3.0f);

  unload_gameobj_dll();
  EXPECT_EQ(sheets_seen_by_dying_element, common_sheets) << "deleted while the styles were full";
  EXPECT_EQ(common_style.size(), 0);
  EXPECT_EQ(hud_style.size(), 0);
  EXPECT_EQ(stray->root->getProp(GUI_PROP_SCALAR_B), nullptr);
  EXPECT_TRUE(stray->root->dirty);
  hud_style.addSheet(new AnySelector, new GuiProperty<float>(GUI_PROP_SCALAR_C, 4.0f));
  stray->restyle();
  EXPECT_EQ(stray->root->readValue<float>(GUI_PROP_SCALAR_C, 0), 4.0f);
  EXPECT_EQ(stray->root->readValue<float>(GUI_PROP_SCALAR_B, 0), 0.0f);
  hud_style.clear();
  delete stray;
  destroy_queued_gui_elements();
}

// Each live screen hears of a destroyed element, in the order of the screen pairs.
TEST(ModuleScreens, DestroyedElementIsToldToEveryLiveScreenInPairOrder) {
  static std::vector<std::pair<int, BaseGuiElement*>> heard;
  struct RecordingScreen : BaseGuiScreen {
    int tag;
    explicit RecordingScreen(int t) : tag(t) {}
    void elementDestroyed(BaseGuiElement* element) override { heard.push_back({tag, element}); }
  };
  RecordingScreen credits(1), hud(3), tooltip(12);
  // Set in the reverse of the pair order, so the calls' order comes from the pairs.
  tooltip_screen = &tooltip;
  hud_screen = &hud;
  credits_screen = &credits;
  alignas(16) static char element_storage[16];
  BaseGuiElement* element = reinterpret_cast<BaseGuiElement*>(element_storage);
  on_gui_element_destroyed(element);
  std::vector<std::pair<int, BaseGuiElement*>> expect = {{1, element}, {3, element}, {12, element}};
  EXPECT_EQ(heard, expect);
  heard.clear();
  on_gui_element_destroyed(nullptr);
  EXPECT_TRUE(heard.empty()) << "a null element is told to no screen";
  credits_screen = hud_screen = tooltip_screen = nullptr;
}

TEST_F(ModuleTest, HeroKeepsItsPositionAndResetCentresTheCamera) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  gameobj_func_table.init_hero();
  gameobj_func_table.reset_hero(10, 20);
  EXPECT_EQ(lane(gameobj_func_table.get_hero_pos(), 0), 10);
  EXPECT_EQ(lane(gameobj_func_table.get_hero_pos(), 1), 20);
  EXPECT_EQ(lane(free_cam_pos, 1), 29);
  EXPECT_GT(gameobj_func_table.get_hero_health(), 0);
  ASSERT_EQ(Hero_list.size(), 1);
  EXPECT_EQ(reinterpret_cast<GameObj*>(Hero_list[0])->proximityBucket >= 0, true);
}

// A new game closes the hero and makes it anew; a hero that destroy has already
// queued is deleted once, with the queue.
TEST_F(ModuleTest, ClosingAQueuedHeroDeletesItOnce) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  gameobj_func_table.init_hero();
  ASSERT_EQ(Hero_list.size(), 1);
  reinterpret_cast<BaseObject*>(Hero_list[0])->destroy();
  gameobj_func_table.close_hero();
  EXPECT_EQ(Hero_list.size(), 0);
  EXPECT_EQ(deleted_gameobjs.size(), 0);
  gameobj_func_table.delete_gameobj();
  gameobj_func_table.init_hero();
  ASSERT_EQ(Hero_list.size(), 1);
  EXPECT_GT(gameobj_func_table.get_hero_health(), 0);
  gameobj_func_table.close_hero();
  EXPECT_EQ(Hero_list.size(), 0);
}

TEST_F(ModuleTest, BoxesOverlappingTheHeroSetTheHeroFlag) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  gameobj_func_table.reset_hero(10, 20);  // box (7, 20)-(13, about 32)
  GameObj* hero = reinterpret_cast<GameObj*>(Hero_list[0]);
  int hit = 0;
  __m128 r = collide_box_objs(_mm_setr_ps(10, 21, 0, 0), _mm_setr_ps(11, 23, 0, 0), nullptr, hit);
  EXPECT_EQ(hit, 0x20);
  EXPECT_FLOAT_EQ(lane(r, 0), 4.0f);
  EXPECT_FLOAT_EQ(lane(r, 1), 3.0f);
  EXPECT_FLOAT_EQ(lane(r, 2), 3.0f);
  EXPECT_FLOAT_EQ(lane(r, 3), lane(hero->bbox, 3) - 21);
  EXPECT_NEAR(lane(hero->bbox, 3), 32.0f, 0.2f);
  hit = 0;
  collide_box_objs(_mm_setr_ps(10, 21, 0, 0), _mm_setr_ps(11, 23, 0, 0), hero, hit);
  EXPECT_EQ(hit, 0) << "the hero does not hit itself";
  collide_box_objs(_mm_setr_ps(14, 21, 0, 0), _mm_setr_ps(15, 23, 0, 0), nullptr, hit);
  EXPECT_EQ(hit, 0);
}

TEST_F(ModuleTest, ReloadRepointsEveryObjectAndKeepsItsData) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  gameobj_func_table.init_hero();
  gameobj_func_table.reset_hero(10, 20);
  BaseObject* hero = reinterpret_cast<BaseObject*>(Hero_list[0]);
  // The hero also stands in a second list and waits in the deletion queue.
  Lift_list.push(reinterpret_cast<Lift**>(&Hero_list[0]));
  hero->destroy();
  ASSERT_GE(deleted_gameobjs.size(), 1);
  EXPECT_EQ(deleted_gameobjs[0], hero);
  EXPECT_EQ(generation_of(hero), 1);
  // An object known only to the deletion queue, of class 5.
  GameObj queued;
  void* own_vtable = vtable_of(&queued);
  vtable_of(&queued) = gameobj_vtables[5];
  queued.flags = OBJ_QUEUED;
  deleted_gameobjs.push((BaseObject**)nullptr);
  deleted_gameobjs.last() = &queued;
  int hero_class = find_gameobj_vtable_index(vtable_of(hero));

  copy_file(module_variant("gameobj_gen2.so"), path_in_game_dir("gameobj_new.so"));
  EXPECT_TRUE(reload_gameobj(false));

  // The new image may land at the old address: its class tables' contents tell.
  EXPECT_EQ(vtable_of(hero), gameobj_vtables[hero_class]);
  EXPECT_EQ(generation_of(hero), 2) << "the new module's class table";
  EXPECT_EQ(hero->flags, OBJ_QUEUED) << "no relink mark left";
  EXPECT_EQ(vtable_of(&queued), gameobj_vtables[5]);
  EXPECT_EQ(queued.flags, OBJ_QUEUED);
  EXPECT_EQ(lane(gameobj_func_table.get_hero_pos(), 0), 10) << "data stays where it was";
  EXPECT_EQ(lane(gameobj_func_table.get_hero_pos(), 1), 20);
  EXPECT_STREQ(hero->className(), "Hero");
  EXPECT_FALSE(file_exists(path_in_game_dir("gameobj_new.so")));
  EXPECT_EQ(read_file(path_in_game_dir("gameobj.so")), read_file(module_variant("gameobj_gen2.so")));

  deleted_gameobjs.remove(deleted_gameobjs.size() - 1, 1);
  vtable_of(&queued) = own_vtable;
  Lift_list.clear();
}

TEST_F(ModuleTest, ForcedReloadLoadsThePresentFileAgain) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  gameobj_func_table.init_hero();
  BaseObject* hero = reinterpret_cast<BaseObject*>(Hero_list[0]);
  EXPECT_TRUE(reload_gameobj(true));
  EXPECT_EQ(generation_of(hero), 1);
  EXPECT_EQ(vtable_of(hero), gameobj_vtables[find_gameobj_vtable_index(vtable_of(hero))]);
  EXPECT_FALSE(reload_gameobj(false)) << "nothing new to load";
}

// What a refused candidate leaves: the old module running with its objects, the error
// on screen and in the log, gameobj.so as it was and no candidate to retry.
TEST_F(ModuleTest, ModuleThatCannotTakeOverLeavesTheOldOneRunning) {
  struct Case {
    const char* variant;
    const char* why;
  } cases[] = {
      {"gameobj_45.so", "gameobj classes changed, need restart"},
      {"gameobj_grown.so", "gameobj classes changed, need restart"},
      {"gameobj_no_get_hero_health.so", "no \"get_hero_health\" function"},
      {"gameobj_no_init_hud.so", "no \"init_hud\" function"},
      {"gameobj_no_link_gui.so", "no \"link_gui\" function"},
      // The loader's own words, which name what it could not find.
      {"gameobj_missing_symbol.so", "cannot be loaded: undefined symbol: engine_function_that_is_not_there"},
  };
  bool saved_dev_tools = use_dev_tools;
  use_dev_tools = true;  // keeps the log's history
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  gameobj_func_table.init_hero();
  gameobj_func_table.reset_hero(10, 20);
  BaseObject* hero = reinterpret_cast<BaseObject*>(Hero_list[0]);
  std::string before = read_file(path_in_game_dir("gameobj.so"));
  for (const Case& c : cases) {
    set_error_message(nullptr);
    size_t log_mark = log_history().size();
    copy_file(module_variant(c.variant), path_in_game_dir("gameobj_new.so"));
    EXPECT_FALSE(reload_gameobj(false)) << c.variant;
    EXPECT_EQ(generation_of(hero), 1) << c.variant;
    EXPECT_EQ(lane(gameobj_func_table.get_hero_pos(), 1), 20) << c.variant;
    EXPECT_GT(gameobj_func_table.get_hero_health(), 0) << c.variant;
    ASSERT_TRUE(has_error_message()) << c.variant;
    EXPECT_NE(strstr(error_message_text.data, (std::string("gameobj reload failed: ") + c.why).c_str()), nullptr)
        << c.variant << ": " << error_message_text.data;
    EXPECT_NE(log_history().find(std::string("gameobj_new.so not loaded: ") + c.why, log_mark), std::string::npos)
        << c.variant;
    EXPECT_FALSE(file_exists(path_in_game_dir("gameobj_new.so"))) << "not retried every second";
    EXPECT_EQ(read_file(path_in_game_dir("gameobj.so")), before);
  }
  use_dev_tools = saved_dev_tools;
}

// A module that does not report its classes' layouts, loaded or candidate, is taken
// on its class count as before.
TEST_F(ModuleTest, ModuleWithoutClassLayoutsIsCheckedAsBefore) {
  copy_file(module_variant("gameobj_no_layouts.so"), path_in_game_dir("gameobj.so"));
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  gameobj_func_table.init_hero();
  BaseObject* hero = reinterpret_cast<BaseObject*>(Hero_list[0]);
  copy_file(module_variant("gameobj_gen2.so"), path_in_game_dir("gameobj_new.so"));
  EXPECT_TRUE(reload_gameobj(false));
  EXPECT_EQ(generation_of(hero), 2);
  copy_file(module_variant("gameobj_no_layouts.so"), path_in_game_dir("gameobj_new.so"));
  EXPECT_TRUE(reload_gameobj(false));
  EXPECT_EQ(generation_of(hero), 1);
}

// The module answers the names it holds and nothing else.
TEST_F(ModuleTest, LookupAnswersOnlyTheNamesTheModuleHolds) {
  void* module = load_library(path_in_game_dir("gameobj.so").c_str());
  ASSERT_NE(module, nullptr);
  auto lookup = (GetGameObjFuncByNameFn)get_proc_address(module, "get_gameobj_func_by_name");
  ASSERT_NE(lookup, nullptr);
  std::set<void*> distinct;
  for (const char* name : gameobj_func_names)
    if (name) {
      void* fn = lookup(name);
      EXPECT_NE(fn, nullptr) << name;
      distinct.insert(fn);
    }
  EXPECT_EQ(distinct.size(), size_t(GAMEOBJ_FUNC_COUNT - 1)) << "a function of its own for each name";
  EXPECT_NE(lookup("link_gui"), nullptr);
  for (const char* stranger : {"no_such_entry", "", "get_hero_health ", "GET_HERO_HEALTH", "get_gameobj_vtables"})
    EXPECT_EQ(lookup(stranger), nullptr) << '"' << stranger << '"';
  EXPECT_EQ(lookup(nullptr), nullptr);
  free_library(module);
}

// Key presses for the module's menus, through the GUI's input seam.
int pending_key_presses = 0;
bool next_key_press(GuiInput* out) {
  if (pending_key_presses <= 0)
    return false;
  pending_key_presses--;
  *out = GuiInput();
  out->type = GuiInput::KEY_DOWN;
  out->code = 0x20;
  return true;
}

TEST_F(ModuleTest, MenusCloseOnAKeyAndGameOverOnlyAfterItsTimer) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  GuiHost saved = gui_host;
  gui_host.get_event = next_key_press;
  gameobj_func_table.open_main_menu();
  gameobj_func_table.update_game_menu(0.05f);
  EXPECT_FALSE(should_close_game_menu);
  pending_key_presses = 1;
  gameobj_func_table.update_game_menu(0.05f);
  EXPECT_TRUE(should_close_game_menu);

  gameobj_func_table.open_game_over_screen();
  gameobj_func_table.show_game_over(false);
  EXPECT_FALSE(should_close_game_menu);
  pending_key_presses = 1;
  gameobj_func_table.update_game_menu(0.05f);
  EXPECT_FALSE(should_close_game_menu) << "the timer has not run out";
  gameobj_func_table.show_game_over(true);
  pending_key_presses = 1;
  gameobj_func_table.update_game_menu(0.05f);
  EXPECT_TRUE(should_close_game_menu);
  gui_host = saved;
}

TEST_F(ModuleTest, MarkLevelTilesMarksTheSolidTiles) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  clear_level();
  memset(level_tile_map, 0, sizeof(level_tile_map));
  fill_cells(16, 16, 31, 31, 1);
  gameobj_func_table.mark_level_tiles();
  EXPECT_TRUE(level_tile_map[1][1] & TILE_SOLID);
  EXPECT_FALSE(level_tile_map[2][2] & TILE_SOLID);
  clear_level();
}

// ---- fatal link failures ------------------------------------------------------------

using ModuleDeathTest = ModuleTest;

TEST_F(ModuleDeathTest, LinkFailuresAreFatalWithTheirMessages) {
  struct Case {
    const char* variant;
    const char* message;
  } cases[] = {
      {"gameobj_45.so", "gameobj classes changed, need restart"},
      {"gameobj_47.so", "gameobj classes changed, need restart"},
      {"gameobj_no_get_hero_health.so", "no \"get_hero_health\" function in gameobj.so"},
      {"gameobj_no_init_hud.so", "no \"init_hud\" function in gameobj.so"},
      {"gameobj_no_link_gui.so", "no \"link_gui\" function in gameobj.so"},
  };
  for (const Case& c : cases) {
    copy_file(module_variant(c.variant), path_in_game_dir("gameobj.so"));
    EXPECT_EXIT(load_gameobj_dll("gameobj.so"), testing::ExitedWithCode(100), c.message) << c.variant;
  }
}

TEST_F(ModuleDeathTest, LibraryWithoutTheExportsIsInvalid) {
  // Any shared object without the two exports will do: make one from the C library.
  copy_file("/lib/x86_64-linux-gnu/libm.so.6", path_in_game_dir("gameobj.so"));
  EXPECT_EXIT(load_gameobj_dll("gameobj.so"), testing::ExitedWithCode(100), "invalid gameobj.so");
}

TEST_F(ModuleDeathTest, MissingModuleAtStartUpIsFatal) {
  unlink(path_in_game_dir("gameobj.so").c_str());
  // The game's shut-down closes the folder watch that start-up opened.
  EXPECT_EXIT(
      {
        set_close_all_systems([] { close_file_notify(); });
        init_gameobj_dll(game_dir.c_str(), "main.ls");
      },
      testing::ExitedWithCode(100), "can't load gameobj.so");
}

TEST_F(ModuleDeathTest, SourceFolderTooLongForItsBufferStopsStartUp) {
  std::string dir = "/" + std::string(258, 'd') + "/";  // 260 characters
  EXPECT_EXIT(
      {
        set_close_all_systems([] { close_file_notify(); });
        init_gameobj_dll(dir.c_str(), "main.ls");
      },
      testing::ExitedWithCode(100), "failed ASSERT\\(l<BS\\)");
}

TEST_F(ModuleDeathTest, ObjectOfAnUnknownClassStopsTheRelink) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  GameObj stranger;  // the host's own class table, unknown to the module
  Hero_list.push((Hero**)nullptr);
  Hero_list.last() = reinterpret_cast<Hero*>(&stranger);
  EXPECT_EXIT(reload_gameobj(true), testing::ExitedWithCode(100), "cannot find object vtable");
  Hero_list.clear();
}

TEST_F(ModuleDeathTest, ClassTableAtIndexZeroIsNeverMatched) {
  ASSERT_TRUE(load_gameobj_dll("gameobj.so"));
  static int marker;
  gameobj_vtables[0] = &marker;
  EXPECT_EXIT(find_gameobj_vtable_index(&marker), testing::ExitedWithCode(100), "cannot find object vtable");
  EXPECT_EQ(find_gameobj_vtable_index(gameobj_vtables[3]), 3);
  gameobj_vtables[0] = nullptr;
}

// ---- the executable's exports -----------------------------------------------------------

// Symbols as `nm -D` lists them: defined or undefined, without version suffixes;
// versioned references (the C and C++ runtime) are left out.
std::set<std::string> dynamic_symbols(const std::string& file, bool defined) {
  std::set<std::string> names;
  for (const DynamicSymbol& s : nm_dynamic_symbols(file, defined ? "--defined-only" : "--undefined-only")) {
    const std::string& name = s.name;
    if (s.type == "w" || s.type == "v" || name.find('@') != std::string::npos)
      continue;
    // Sanitizer builds: the runtime library provides its own entry points.
    if (name.rfind("__asan", 0) == 0 || name.rfind("__ubsan", 0) == 0 || name.rfind("__lsan", 0) == 0 ||
        name.rfind("__sanitizer", 0) == 0)
      continue;
    names.insert(name);
  }
  return names;
}

// What the C and C++ runtime define: the module may take those from them.
std::set<std::string> runtime_symbols() {
  std::set<std::string> all;
  for (const char* lib : {"libc.so.6", "libm.so.6", "libstdc++.so.6", "libgcc_s.so.1"}) {
    std::string cmd = "gcc -print-file-name=" + std::string(lib);
    FILE* p = popen(cmd.c_str(), "r");
    char path[1024] = {};
    if (p && fgets(path, sizeof(path), p))
      path[strcspn(path, "\n")] = 0;
    if (p)
      pclose(p);
    for (const DynamicSymbol& s : nm_dynamic_symbols(path, "--defined-only"))
      all.insert(s.name.substr(0, s.name.find('@')));
  }
  return all;
}

void expect_exports_module_needs(const std::string& exe) {
  std::set<std::string> needed = dynamic_symbols(WORLD_GAMEOBJ_SO, false);
  std::set<std::string> exported = dynamic_symbols(exe, true);
  std::set<std::string> runtime = runtime_symbols();
  for (const char* name : {"dlmalloc", "Hero_list"})
    EXPECT_FALSE(runtime.count(name)) << "the runtime list names only the runtime's symbols";
  for (const std::string& name : runtime)
    if (!exported.count(name))
      needed.erase(name);
  ASSERT_GT(needed.size(), 50u);
  for (const char* name : {"Hero_list", "deleted_gameobjs", "_Z16update_proximityP7GameObjDv4_f", "dlmalloc"})
    EXPECT_TRUE(needed.count(name)) << name << " is resolved from the executable";
  for (const std::string& name : needed)
    EXPECT_TRUE(exported.count(name)) << exe << " does not export " << name;
}

TEST(ModuleExports, ExecutableExportsEverySymbolTheModuleNeeds) {
  char self[1024];
  ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  expect_exports_module_needs(self);
  std::string game = std::string(WORLD_BIN_DIR) + "/torvane";
  if (access(game.c_str(), X_OK) == 0)
    expect_exports_module_needs(game);
}

}  // namespace
