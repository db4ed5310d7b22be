// Faults during hot reload, through the real program with the developer tools on: a
// broken shader, game script, sound script, sprite, tile, mesh or module source is
// written into the game's folder while a level is played. The game keeps what it ran,
// shows the error on screen and logs it; the mended file is reloaded; nothing of the
// running game is lost. Each case runs the game in a folder of its own.
#include <gtest/gtest.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "engine/audio/audio_engine.h"
#include "engine/audio/sound_events.h"
#include "engine/audio/sound_files.h"
#include "engine/gen/level_tiles.h"
#include "engine/gui/visual_log.h"
#include "engine/render/d3d_device.h"
#include "engine/render/d3d_textures.h"
#include "engine/render/mesh.h"
#include "engine/render/sprite.h"
#include "engine/shared/level_map.h"
#include "engine/shell/modes/game_flow.h"
#include "engine/shell/modes/game_mode.h"
#include "engine/world/gameobj_host.h"
#include "platform/win32/windows.h"
#include "soloud_wavstream.h"
#include "support/game_run.h"
#include "tests/support/error_shown.h"
#include "support/hero_model.h"
#include "support/screens.h"
#include "support/stages.h"

using namespace play;
namespace fs = std::filesystem;

namespace {

// Written under another name and moved in place, as an editor saves, so the game never
// reads half a file; dated `ahead` seconds from now, as the reloads compare file times
// to the second.
void write_text(const std::string& path, const std::string& text, int ahead = 0) {
  std::string part = path + ".part";
  std::ofstream(part, std::ios::binary) << text;
  struct timeval when[2];
  gettimeofday(&when[0], nullptr);
  when[0].tv_sec += ahead;
  when[1] = when[0];
  utimes(part.c_str(), when);
  fs::rename(part, path);
}

// ---- the cases -------------------------------------------------------------------------------

struct Fault {
  const char* name;
  const char* file;        // under the game's folder, or under the module's sources ("../gameobj/...")
  std::function<std::string(const std::string&)> broken;  // the broken file from the good one
  std::vector<const char*> shown;   // on screen while broken
  std::vector<const char*> logged;  // in the log while broken
  const char* reloaded;             // logged once the mended file is loaded
  bool clearsError;                 // the mended reload takes the error off the screen
  // What the game runs from the file, read while it is good and again while it is
  // broken: the same answer means the old one keeps running.
  std::function<std::string()> running;
  // False where the error asks for a restart: the good file is not written back.
  bool mends = true;
};

std::string append(const std::string& good, const char* tail) { return good + tail; }

std::string mesh_state() {
  for (Mesh* m : mesh_list)
    if (strcmp(m->name.c_str(), "meshes/boss_core.mesh") == 0)
      return m->vb && m->ib ? "mesh of " + std::to_string(m->numVerts) + " vertices, " +
                                  std::to_string(m->numTris) + " triangles"
                            : "mesh without buffers";
  return "no mesh";
}

// The sound script's sounds, and whether an interface event starts a voice on the
// mixer (its voices only end when mixed, which the null back end never does unasked).
std::string sound_state() {
  unsigned int voice = play_sfx_event(get_sound_event("ui_click"), 1.0f, 0.0f);
  bool plays = voice != 0 && soloud.isValidVoiceHandle(voice);
  return std::to_string(sound_samples.size()) + " samples, " + std::to_string(sound_streams.size()) +
         " streams, ui_click " + (plays ? "plays" : "is silent");
}

// Voices playing the script's music.
int music_voices() {
  int n = 0;
  for (SoLoud::WavStream* s : sound_streams)
    n += soloud.countAudioSource(*s);
  return n;
}

std::string module_state() {
  return gameobj_module && gameobj_func_table.update_gameobj ? "module linked" : "no module";
}

// The module's classes as the game runs them: the hero's class table and its data.
std::string module_classes() {
  if (!gameobj_module || Hero_list.isEmpty())
    return "no hero";
  BaseObject* hero = reinterpret_cast<BaseObject*>(Hero_list[0]);
  char text[128];
  snprintf(text, sizeof(text), "hero class %d, health %d", find_gameobj_vtable_index(*reinterpret_cast<void**>(hero)),
           gameobj_func_table.get_hero_health());
  return text;
}

// The font page's texture: whether its handle holds an image, and which.
std::string font_page_state() {
  Texture* t = get_texture("fonts/regular.png.dds", false);
  std::string state = t && t->tex ? std::to_string(get_texture_width(t)) + "x" + std::to_string(get_texture_height(t)) +
                                        " format " + std::to_string(get_texture_format(t))
                                  : std::string("no image");
  free_texture(t);
  return state;
}

std::string random_bytes(const std::string&) {
  std::string junk;
  uint32_t x = 12345;
  for (int i = 0; i < 65536; i++) {
    x = x * 1664525u + 1013904223u;
    junk += char(x >> 24);
  }
  return junk;
}

// The edit that moves every field of every actor: a field at the start of Actor.
std::string grow_actor(const std::string& good) {
  const std::string head = "class Actor : public GameObj {\n public:\n";
  size_t at = good.find(head);
  return at == std::string::npos ? good : good.substr(0, at + head.size()) + "  float pad[1024];\n" +
                                              good.substr(at + head.size());
}

// The shader's old program shows in the picture: the world drawn the same.
const Fault faults[] = {
    {"shader", "level.sh", [](const std::string& g) { return append(g, "\nthis is not a shader;\n"); },
     {"FAILED to reload shader 'level.sh'"},
     {"FAILED to compile HLSL shader 'level.sh'", "level.sh(", "): error: "},
     "reloaded shader 'level.sh'", true, nullptr},
    {"game_script", "script/main.nut", [](const std::string& g) { return append(g, "\nfunction broken( {\n"); },
     {"Error in game script:"},
     {"script/main.nut(", "): error: "},
     "--- reloading game script ---", true,
     [] { return std::to_string(read_upgrade_tree().size()) + " upgrade nodes"; }},
    {"sound_script", "sound/sound.nut", [](const std::string& g) { return append(g, "\nlocal = ;\n"); },
     {"Error in sound script:"},
     {"sound/sound.nut(", "): error: "},
     nullptr, true, sound_state},
    {"sprite", "sprites/hero/idle.png", [](const std::string&) { return std::string("not a picture"); },
     {"Error loading sprite image sprites/hero/idle.png"},
     {"Error loading sprite image sprites/hero/idle.png"},
     "sprites into", true,
     [] {
       Sprite* s = get_sprite("hero/idle", false);
       return s ? "hero/idle " + std::to_string(s->wd) + "x" + std::to_string(s->ht) : std::string("no sprite");
     }},
    {"tile", "tiles/wall0_f.png", [](const std::string&) { return std::string("not a picture"); },
     {"Error loading tile image wall0_f.png"},
     {"Error loading tile image wall0_f.png"},
     " tiles", true,
     [] {
       LevelGenTile* t = find_level_tile("wall0");
       return std::to_string(level_tiles.size()) + " tiles, wall0 " +
              (t ? std::to_string(t->width) + "x" + std::to_string(t->height) : std::string("missing"));
     }},
    {"mesh", "meshes/boss_core.mesh", [](const std::string& g) { return "XXXX" + g.substr(4); },
     {"Error reading mesh file 'meshes/boss_core.mesh'"},
     {"Error reading mesh file 'meshes/boss_core.mesh'"},
     "reloading meshes/boss_core.mesh", true, mesh_state},
    {"module_source", "../gameobj/exit_fx.cpp", [](const std::string& g) { return append(g, "\nthis is not C++;\n"); },
     {"gameobj rebuild failed!!!", "exit_fx.cpp:", "error:"},
     {"=== rebuilding gameobj DLL", "!!! failed to rebuild gameobj DLL"},
     "gameobj reload ok", true, module_state},
    // A module that builds, but whose live objects would not fit its classes.
    {"module_layout", "../gameobj/actor.h", grow_actor,
     {"gameobj reload failed: gameobj classes changed, need restart"},
     {"=== DLL rebuild done in ", "gameobj_new.so not loaded: gameobj classes changed, need restart"},
     nullptr, false, module_classes, false},
    {"texture", "fonts/regular.png.dds", random_bytes,
     {"Texture 'fonts/regular.png.dds' is not a DDS"},
     {"reloading fonts/regular.png.dds", "Texture 'fonts/regular.png.dds' is not a DDS"},
     "loaded DDS texture 'fonts/regular.png.dds'", true, font_page_state},
};

const Fault* fault_named(const std::string& name) {
  for (const Fault& f : faults)
    if (name == f.name)
      return &f;
  return nullptr;
}

// ---- the game's side ---------------------------------------------------------------------------

bool mode_is(GameMode* m) { return cur_game_mode == m; }

// What a reload must not lose: the mode, the level and its cells, the points and the
// hero object itself.
struct GameState {
  GameMode* mode = nullptr;
  int level = 0, points = 0;
  uint64_t cells = 0;
  void* hero = nullptr;
  static GameState now() {
    GameState s;
    s.mode = cur_game_mode;
    s.level = cur_level;
    s.points = up_points;
    s.cells = level_map_hash();
    s.hero = Hero_list.isEmpty() ? nullptr : (void*)Hero_list[0];
    return s;
  }
};

void expect_same_game(const GameState& a, const GameState& b, const char* when) {
  EXPECT_EQ(a.mode, b.mode) << when;
  EXPECT_EQ(a.level, b.level) << when;
  EXPECT_EQ(a.points, b.points) << when;
  EXPECT_EQ(a.cells, b.cells) << "the level's cells " << when;
  EXPECT_EQ(a.hero, b.hero) << "the hero object " << when;
}

// Pixels that differ between two pictures below the error banner, as a share of them.
double changed_share(const Picture& a, const Picture& b) {
  return play::changed_share(a, b, Rect{0, float(a.height / 3), float(a.width), float(a.height)});
}

int count_logged(const char* text) {
  int n = 0;
  for (const std::string& l : log_lines_seen())
    n += l.find(text) != std::string::npos;
  return n;
}

// Plays the stages in the game at its smallest size; each must end in its time.
void play_stages(std::vector<Stage> stages) {
  StageRunner runner(std::move(stages));
  EXPECT_EQ(run_entry({"-fullscr", "-360"}, 0xF4017, [&](int step) { runner(step); }), 0);
  EXPECT_TRUE(runner.completed()) << "stopped in '" << runner.current_name() << "'";
}

// The first stages of every case: a new game from the title screen, a few updates of
// its first level.
Stage new_game_stage() {
  return {"a new game", 100, [](int n) {
            if (n == 5)
              tap(VK_RETURN);
            return n > 5 && mode_is(play_mode);
          }};
}

}  // namespace

TEST(HotReloadChild, Fault) {
  GAME_CHILD_ONLY();
  const char* which = getenv("TORVANE_FAULT");
  const Fault* f = which ? fault_named(which) : nullptr;
  ASSERT_TRUE(f) << "TORVANE_FAULT names a case";
  const std::string path = game_folder() + f->file;
  const std::string good = read_whole_file(path);
  ASSERT_FALSE(good.empty()) << path;
  ASSERT_NE(f->broken(good), good) << "the fault changes " << path;
  bool module_case = strncmp(f->name, "module_", 7) == 0;

  bool sound_case = strcmp(f->name, "sound_script") == 0;

  GameState before;
  std::string running_good;
  int music_before = 0;
  Picture shot_good, shot_broken;
  int reloads_logged = 0;
  double play_time_before = 0;

  std::vector<Stage> stages = {
      new_game_stage(),
      // The mesh is the level-10 boss's: the developer key starts that level.
      {"the level", 200, [&](int n) {
         if (strcmp(f->name, "mesh") != 0)
           return n >= 20;
         if (n == 0) {
           cur_level = 10;
           key(VK_CONTROL, true);
         }
         if (n == 1)
           tap(VK_F4);
         if (n == 2)
           key(VK_CONTROL, false);
         return n > 5 && mesh_state().rfind("mesh of", 0) == 0;
       }},
      // The world stands still (the developer pause) while the file is broken, so that
      // the pictures before and after show the same world under the error.
      {"the game before", 40, [&](int n) {
         if (n == 5)
           tap(VK_F2);
         if (n == 10) {
           EXPECT_TRUE(game_paused);
           EXPECT_FALSE(has_error_message()) << error_shown();
           before = GameState::now();
           if (f->running)
             running_good = f->running();
           music_before = music_voices();
           if (sound_case) {
             EXPECT_EQ(music_before, 1) << "the level's music plays";
           }
           play_time_before = level_play_time;
           request_screenshot();
         }
         return n > 10 && read_screenshot(shot_good);
       }},
      {"the file broken", module_case ? 10000 : 300, [&](int n) {
         if (n == 0)
           write_text(path, f->broken(good), 100);
         if (module_case)
           usleep(20000);  // the compiler runs meanwhile, in real time
         for (const char* text : f->shown)
           if (error_shown().find(text) == std::string::npos)
             return false;
         for (const char* text : f->logged)
           if (!logged(text))
             return false;
         return true;
       }},
      {"the old one runs", 40, [&](int n) {
         if (n == 10)
           request_screenshot();
         if (n <= 10 || !read_screenshot(shot_broken))
           return false;
         keep_picture(shot_broken, std::string("broken_") + f->name);
         EXPECT_GT(banner_ink(shot_broken), banner_ink(shot_good) + 20) << "the error on screen: " << shot_broken.path;
         if (f->running) {
           EXPECT_EQ(f->running(), running_good);
         }
         EXPECT_EQ(music_voices(), music_before) << "the music plays on";
         EXPECT_LT(changed_share(shot_good, shot_broken), 0.01)
             << "the world is drawn as before: " << shot_good.path << " and " << shot_broken.path;
         expect_same_game(before, GameState::now(), "while the file is broken");
         tap(VK_F2);  // the world moves on
         return true;
       }},
      {"the file mended", module_case ? 3000 : 300, [&](int n) {
         if (!f->mends)
           return true;
         if (n == 0) {
           write_text(path, good, 200);
           if (f->reloaded)
             reloads_logged = count_logged(f->reloaded);
         }
         if (module_case)
           usleep(20000);
         if (f->reloaded)
           return count_logged(f->reloaded) > reloads_logged;
         return !has_error_message();
       }},
      {"the game after", 40, [&](int n) {
         if (n < 20)
           return false;
         if (f->clearsError) {
           EXPECT_FALSE(has_error_message()) << error_shown();
         }
         if (f->running) {
           EXPECT_EQ(f->running(), running_good) << "the mended file runs as the good one did";
         }
         expect_same_game(before, GameState::now(), "after the reload");
         EXPECT_GT(level_play_time, play_time_before) << "the game goes on";
         if (sound_case) {
           EXPECT_EQ(music_voices(), 0) << "the old music went with the old script";
         }
         return true;
       }},
  };
  play_stages(std::move(stages));
}

// ---- the parent's side ---------------------------------------------------------------------

namespace {

// The build's compile commands of the module's sources, from the compilation database:
// the compiler, its flags, and where the build keeps each object.
struct ModuleSource {
  std::string name;     // file name
  std::string object;   // the build's object file
  std::string command;  // the build's compile command
};
struct ModuleBuild {
  std::string directory;
  std::vector<ModuleSource> sources;
};

std::string json_string_at(const std::string& text, size_t at) {
  std::string out;
  for (size_t i = at; i < text.size() && text[i] != '"'; i++) {
    if (text[i] == '\\' && i + 1 < text.size())
      i++;
    out += text[i];
  }
  return out;
}

std::string json_field(const std::string& entry, const char* key) {
  std::string k = std::string("\"") + key + "\": \"";
  size_t at = entry.find(k);
  return at == std::string::npos ? std::string() : json_string_at(entry, at + k.size());
}

ModuleBuild read_module_build() {
  ModuleBuild b;
  std::string build = fs::path(TORVANE_TEST_BIN_DIR).parent_path().string();
  std::string db = read_whole_file(build + "/compile_commands.json");
  for (size_t at = db.find('{'); at != std::string::npos; at = db.find('{', at + 1)) {
    std::string entry = db.substr(at, db.find('}', at) - at);
    std::string command = json_field(entry, "command");
    size_t o = command.find(" -o ");
    std::string output = o == std::string::npos ? "" : command.substr(o + 4, command.find(' ', o + 4) - (o + 4));
    if (output.find("gameobj_objects.dir/") == std::string::npos)
      continue;
    b.directory = json_field(entry, "directory");
    b.sources.push_back({fs::path(json_field(entry, "file")).filename().string(),
                         output[0] == '/' ? output : b.directory + "/" + output, command});
  }
  return b;
}

// The game folder's rebuild script: the module's sources of the game folder compiled as
// the build compiles them, their own headers found before the project's (the edited
// sources, or every source when a header was edited), linked with copies of the build's
// objects of the others, left as gameobj_new.so. `before_link` runs between the
// compiles and the link. (The game's own script builds the project's target from the
// project's sources, which a test never edits.)
void write_module_rebuild(const GameFolder& folder, const std::vector<std::string>& edited,
                          const std::string& before_link = "") {
  ModuleBuild b = read_module_build();
  ASSERT_FALSE(b.sources.empty()) << "the module's compile commands";
  bool header = false;
  for (const std::string& e : edited)
    header |= fs::path(e).extension() == ".h";
  std::string objects = folder.sources + "objects/";
  fs::create_directories(objects);
  std::string compiles;
  for (const ModuleSource& source : b.sources) {
    std::string copy = objects + fs::path(source.object).filename().string();
    fs::copy_file(source.object, copy, fs::copy_options::overwrite_existing);
    if (!header && std::find(edited.begin(), edited.end(), source.name) == edited.end())
      continue;
    // The command with this copy's source and object, the game folder's headers first.
    std::string compile = source.command;
    size_t o = compile.find(" -o ");
    size_t c = compile.find(" -c ");
    ASSERT_TRUE(o != std::string::npos && c != std::string::npos) << compile;
    size_t compiler_end = compile.find(' ');
    compile = compile.substr(0, compiler_end) + " -I'" + folder.root + "'" + compile.substr(compiler_end, o - compiler_end) +
              " -o '" + copy + "' -c '" + folder.sources + source.name + "'";
    std::string script = objects + "compile_" + source.name + ".sh";
    std::ofstream(script) << "cd '" << b.directory << "'\n" << compile << "\n";
    compiles += "'" + script + "'\n";
  }
  ASSERT_FALSE(compiles.empty()) << "a compile command for " << edited[0];
  // The link: the compiler with the sanitizers' flags, when there are any.
  std::string command = b.sources[0].command;
  std::string link = command.substr(0, command.find(' ')) + " -shared";
  std::istringstream words(command);
  for (std::string w; words >> w;)
    if (w.rfind("-fsanitize", 0) == 0)
      link += " " + w;
  std::ofstream script(folder.sources + "rebuild_dll.sh");
  script << "#!/bin/sh\n"
         << "# Rebuilds this copy of the module (written by the hot-reload test).\n"
         << "set -e\n"
         << "xargs -P 4 -n 1 sh <<'EOF'\n"
         << compiles << "EOF\n"
         << before_link << link << " -o \"$1/gameobj_new.so.tmp\" '" << objects << "'*.o\n"
         << "mv \"$1/gameobj_new.so.tmp\" \"$1/gameobj_new.so\"\n"
         << "echo \"gameobj_new.so ready\"\n";
}

// Runs a case of the child's side with the developer tools on; the game must end cleanly.
void expect_clean_run(const GameFolder& folder, const char* child, const std::vector<std::string>& env = {}) {
  GameResult r = run_game(folder, child, {"devkeys=1"}, env);
  EXPECT_EQ(r.exit_code, 0) << tail(r.out, 80);
  EXPECT_EQ(r.signal, 0) << tail(r.out, 80);
}

void run_fault(const char* name) {
  GameFolder folder = make_game_folder(std::string("hot_reload_") + name);
  if (const Fault* f = fault_named(name); f && strncmp(f->file, "../gameobj/", 11) == 0)
    write_module_rebuild(folder, {f->file + 11});
  expect_clean_run(folder, "HotReloadChild.Fault", {std::string("TORVANE_FAULT=") + name});
}

}  // namespace

TEST(HotReload, BrokenShader) { run_fault("shader"); }
TEST(HotReload, BrokenGameScript) { run_fault("game_script"); }
TEST(HotReload, BrokenSoundScript) { run_fault("sound_script"); }
TEST(HotReload, BrokenSprite) { run_fault("sprite"); }
TEST(HotReload, BrokenTile) { run_fault("tile"); }
TEST(HotReload, BrokenMesh) { run_fault("mesh"); }
TEST(HotReload, BrokenModuleSource) { run_fault("module_source"); }
TEST(HotReload, ModuleWhoseClassesChanged) { run_fault("module_layout"); }
TEST(HotReload, BrokenTexture) { run_fault("texture"); }

// At start-up a broken tile stays fatal, with the file's name.
TEST(HotReloadChild, StartUp) {
  GAME_CHILD_ONLY();
  run_entry({"-fullscr", "-360"}, 1, [](int) { quit(); });
  ADD_FAILURE() << "the game started with a broken tile";
}

TEST(HotReload, BrokenTileAtStartUpIsFatal) {
  GameFolder folder = make_game_folder("hot_reload_startup");
  write_text(folder.bin + "tiles/wall0_f.png", "not a picture");
  GameResult r = run_game(folder, "HotReloadChild.StartUp");
  EXPECT_EQ(r.exit_code, 100) << tail(r.out);
  EXPECT_NE(r.log.find("Error loading tile image wall0_f.png"), std::string::npos) << tail(r.log);
}

// ---- an edit saved while the module builds -------------------------------------------------

namespace {

// The generation the hero's class table was built with; -1 without a hero.
int hero_generation() {
  if (!gameobj_module || Hero_list.isEmpty())
    return -1;
  return reinterpret_cast<BaseObject*>(Hero_list[0])->handleRequest(GAMEOBJ_REQUEST_GENERATION);
}

// Files the rebuild script below leaves in the game's folder: once its compiler has
// read the sources, and which it waits for before it links.
const char* const COMPILED_MARK = "compiled";
const char* const LINK_GATE = "go";

}  // namespace

// The module's main file is saved and a rebuild starts; once its compiler has read the
// sources, another source is saved with an edit the running module shows (its classes'
// generation), before the build ends. The build of the first edit is loaded without
// the second; one more build then takes the second in.
TEST(HotReloadChild, EditSavedDuringRebuild) {
  GAME_CHILD_ONLY();
  const std::string sources = game_folder() + "../gameobj/";
  const std::string module_cpp = read_whole_file(sources + "module.cpp");
  const std::string actor_cpp = read_whole_file(sources + "actor.cpp");
  ASSERT_FALSE(module_cpp.empty());
  ASSERT_FALSE(actor_cpp.empty());
  std::vector<Stage> stages = {
      new_game_stage(),
      {"the level", 40, [&](int n) {
         if (n == 20) {
           EXPECT_EQ(hero_generation(), 1);
         }
         return n >= 20;
       }},
      {"the first edit compiled", 10000, [&](int n) {
         if (n == 0)
           write_text(sources + "module.cpp", module_cpp + "\n// saved first\n", 100);
         usleep(20000);  // the compiler runs meanwhile, in real time
         return fs::exists(game_folder() + COMPILED_MARK);
       }},
      {"the second edit saved", 10, [&](int) {
         write_text(sources + "actor.cpp", "#define GAMEOBJ_GENERATION 2\n" + actor_cpp, 200);
         std::ofstream(game_folder() + LINK_GATE) << "go\n";
         return true;
       }},
      {"the first build loaded", 10000, [&](int) {
         usleep(20000);
         if (count_logged("gameobj reload ok") < 1)
           return false;
         EXPECT_EQ(hero_generation(), 1) << "the first build compiled the second source before its edit";
         return true;
       }},
      {"the second edit loaded", 10000, [&](int) {
         usleep(20000);
         return count_logged("gameobj reload ok") >= 2;
       }},
      {"the game after", 5, [&](int) {
         EXPECT_EQ(hero_generation(), 2) << "the edit saved during the build runs";
         EXPECT_EQ(count_logged("=== rebuilding gameobj DLL"), 2);
         EXPECT_TRUE(logged("actor.cpp changed during the rebuild"));
         EXPECT_FALSE(has_error_message()) << error_shown();
         return true;
       }},
  };
  play_stages(std::move(stages));
}

TEST(HotReload, EditSavedDuringRebuildIsBuiltNext) {
  GameFolder folder = make_game_folder("hot_reload_edit_during_rebuild");
  // The first build waits, between its compiles and its link, until the test has saved
  // the second edit; the next one finds the gate open.
  write_module_rebuild(folder, {"module.cpp", "actor.cpp"},
                       std::string("touch \"$1/") + COMPILED_MARK + "\"\nwhile [ ! -e \"$1/" + LINK_GATE +
                           "\" ]; do sleep 0.05; done\n");
  expect_clean_run(folder, "HotReloadChild.EditSavedDuringRebuild");
}

// ---- the data folder linked as the build links it -------------------------------------------

namespace {

// The game's folder laid out as the build lays it out: the data folder beside it, and
// each of its top-level entries a link into it.
GameFolder make_linked_game_folder(const std::string& name) {
  GameFolder f = make_game_folder(name);
  std::string data = f.root + "/data/";
  fs::create_directories(data);
  for (const fs::directory_entry& e : fs::directory_iterator(std::string(TORVANE_TEST_SOURCE_DIR) + "/data")) {
    std::string entry = e.path().filename().string();
    fs::rename(f.bin + entry, data + entry);
    fs::create_symlink(data + entry, f.bin + entry);
  }
  return f;
}

// The final composite with its colours inverted.
std::string inverted_composite(const std::string& good) {
  const std::string out = "d3d9_output(vec4(color, 1.0));";
  size_t at = good.find(out);
  return at == std::string::npos ? good
                                 : good.substr(0, at) + "d3d9_output(vec4(1.0 - color, 1.0));" +
                                       good.substr(at + out.size());
}

}  // namespace

// A shader at the top of the data folder, edited there: reloaded, and the picture
// shows the edit.
TEST(HotReloadChild, TopLevelShaderEditedInData) {
  GAME_CHILD_ONLY();
  const std::string path = game_folder() + "../data/postfx_final.sh";
  const std::string good = read_whole_file(path);
  ASSERT_NE(inverted_composite(good), good);
  Picture before, after;
  std::vector<Stage> stages = {
      new_game_stage(),
      {"the picture before", 60, [&](int n) {
         if (n == 5)
           tap(VK_F2);  // the world stands still for the comparison
         if (n == 20)
           request_screenshot();
         return n > 20 && read_screenshot(before);
       }},
      {"the shader edited", 300, [&](int n) {
         if (n == 0)
           write_text(path, inverted_composite(good), 100);
         return logged("reloaded shader 'postfx_final.sh'");
       }},
      {"the picture after", 40, [&](int n) {
         if (n == 5)
           request_screenshot();
         if (n <= 5 || !read_screenshot(after))
           return false;
         keep_picture(before, "linked_data_before");
         keep_picture(after, "linked_data_after");
         EXPECT_GT(changed_share(before, after), 0.5) << "the inverted picture: " << after.path;
         EXPECT_FALSE(has_error_message()) << error_shown();
         return true;
       }},
  };
  play_stages(std::move(stages));
}

TEST(HotReload, TopLevelShaderOfTheLinkedDataFolderReloads) {
  GameFolder folder = make_linked_game_folder("hot_reload_linked_data");
  expect_clean_run(folder, "HotReloadChild.TopLevelShaderEditedInData");
}

// ---- several files broken at once -------------------------------------------------------------

// Two shaders and the game script broken at once: every error stands on the screen, and
// each goes only when its own file is mended.
TEST(HotReloadChild, ErrorsStandUntilTheirOwnFileIsMended) {
  GAME_CHILD_ONLY();
  struct File {
    const char* path;
    const char* shown;  // on the screen while broken
    const char* mended; // logged when it reloads
    std::string good;
  } files[] = {
      {"postfx_final.sh", "FAILED to reload shader 'postfx_final.sh'", "reloaded shader 'postfx_final.sh'", ""},
      {"script/main.nut", "Error in game script:", "--- reloading game script ---", ""},
      {"level.sh", "FAILED to reload shader 'level.sh'", "reloaded shader 'level.sh'", ""},
  };
  for (File& f : files) {
    f.good = read_whole_file(game_folder() + f.path);
    ASSERT_FALSE(f.good.empty()) << f.path;
  }
  auto shown = [](const File& f) { return error_shown().find(f.shown) != std::string::npos; };
  std::vector<Stage> stages = {
      new_game_stage(),
      {"all broken", 300, [&](int n) {
         if (n == 0)
           for (const File& f : files)
             write_text(game_folder() + f.path, f.good + "\nthis is broken (\n", 100);
         for (const File& f : files)
           if (!shown(f))
             return false;
         return true;
       }},
  };
  // Mended one at a time: that one's error goes, the others' stand.
  int reloads = 0;
  for (size_t i = 0; i < std::size(files); i++)
    stages.push_back({std::string("mended ") + files[i].path, 300, [&, i](int n) {
                        if (n == 0) {
                          reloads = count_logged(files[i].mended);
                          write_text(game_folder() + files[i].path, files[i].good, 200);
                        }
                        if (count_logged(files[i].mended) <= reloads || shown(files[i]))
                          return false;
                        for (size_t j = i + 1; j < std::size(files); j++) {
                          EXPECT_TRUE(shown(files[j])) << files[j].path << " is still broken: " << error_shown();
                        }
                        return true;
                      }});
  stages.push_back({"all mended", 40, [&](int n) {
                      if (n < 20)
                        return false;
                      EXPECT_FALSE(has_error_message()) << error_shown();
                      return true;
                    }});
  play_stages(std::move(stages));
}

TEST(HotReload, ErrorsStandUntilTheirOwnFileIsMended) {
  GameFolder folder = make_game_folder("hot_reload_errors_stand");
  expect_clean_run(folder, "HotReloadChild.ErrorsStandUntilTheirOwnFileIsMended");
}
