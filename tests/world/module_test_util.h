#pragma once
// A game folder of its own for each module test: a temporary folder made the
// program's folder, holding a copy of the built module as "gameobj.so".
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "engine/core/log.h"
#include "engine/core/utils.h"
#include "engine/world/gameobj_host.h"
#include "world_test_util.h"

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline void copy_file(const std::string& from, const std::string& to) {
  std::string data = read_file(from);
  ASSERT_FALSE(data.empty()) << from;
  std::string tmp = to + ".tmp";
  write_file(tmp, data);
  ASSERT_EQ(rename(tmp.c_str(), to.c_str()), 0);
}

// The log's history so far (kept while use_dev_tools is on).
inline std::string log_history() {
  DynArray<int> starts;
  DynArray<char> text;
  copy_debug_history(starts, text);
  return std::string(text.data ? text.data : "", text.size());
}

inline bool file_exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

inline std::string module_variant(const char* name) { return std::string(WORLD_MODULE_DIR) + "/" + name; }

class ModuleTest : public ::testing::Test {
 protected:
  std::string game_dir;
  char saved_app_path[260];

  std::string path_in_game_dir(const char* name) { return game_dir + name; }

  void SetUp() override {
    char tmpl[] = "/tmp/world_module_XXXXXX";
    ASSERT_TRUE(mkdtemp(tmpl));
    game_dir = std::string(tmpl) + "/";
    memcpy(saved_app_path, app_path, sizeof(app_path));
    snprintf(app_path, sizeof(app_path), "%s", game_dir.c_str());
    copy_file(WORLD_GAMEOBJ_SO, path_in_game_dir("gameobj.so"));
  }

  void TearDown() override {
    if (gameobj_module && gameobj_func_table.remove_all_gameobj)
      gameobj_func_table.remove_all_gameobj();
    close_gameobj_dll();
#define CLEAR_LIST(name) name##_list.clear();
    GAMEOBJ_LIST_NAMES(CLEAR_LIST)
#undef CLEAR_LIST
    deleted_gameobjs.clear();
    for (void*& v : gameobj_vtables)
      v = nullptr;
    memcpy(app_path, saved_app_path, sizeof(app_path));
    std::string cmd = "rm -rf '" + game_dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
};
