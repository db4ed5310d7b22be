#include "game_run.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/core/log.h"
#include "engine/render/d3d_device.h"
#include "engine/shell/main_loop.h"
#include "engine/shell/scene.h"
#include "engine/shell/shell.h"
#include "platform/win32/windows.h"
#include "tests/support/test_child.h"

namespace fs = std::filesystem;

namespace play {

// ---- the parent's side ----------------------------------------------------------------

std::string read_whole_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

namespace {

// The program's own file, through the link /proc/self/exe points along.
std::string own_executable() {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
}

// A hard link keeps the folder the program finds itself in (a symbolic link would
// lead it back to the build folder); a copy when the link cannot be made.
void place_executable(const std::string& to) {
  std::error_code ec;
  fs::create_hard_link(own_executable(), to, ec);
  if (ec)
    fs::copy_file(own_executable(), to, fs::copy_options::overwrite_existing);
}

void copy_tree(const std::string& from, const std::string& to) {
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

}  // namespace

GameFolder make_game_folder(const std::string& name) {
  const char* home = getenv("XDG_DATA_HOME");
  GameFolder f;
  f.root = std::string(home && home[0] ? home : "/tmp") + "/" + name;
  std::error_code ec;
  fs::remove_all(f.root, ec);
  f.bin = f.root + "/bin/";
  f.sources = f.root + "/gameobj/";
  f.home = f.root + "/home";
  fs::create_directories(f.bin);
  fs::create_directories(f.sources);
  fs::create_directories(f.user());
  place_executable(f.bin + "torvane");
  copy_tree(std::string(TORVANE_TEST_SOURCE_DIR) + "/data", f.bin);
  fs::copy_file(std::string(TORVANE_TEST_BIN_DIR) + "/gameobj.so", f.bin + "gameobj.so");
  for (const fs::directory_entry& e : fs::directory_iterator(std::string(TORVANE_TEST_SOURCE_DIR) + "/gameobj"))
    if (e.is_regular_file())
      fs::copy_file(e.path(), f.sources + e.path().filename().string());
  return f;
}

GameResult run_game(const GameFolder& folder, const std::string& child_test, const std::vector<std::string>& settings,
                    const std::vector<std::string>& env) {
  {
    std::ofstream cfg(folder.user() + "settings.cfg");
    cfg << "// Game settings\n_CONFIG_VERSION_=1\n\n";
    for (const std::string& line : settings)
      cfg << line << "\n";
  }
  std::string out_path = folder.root + "/child.out";
  std::string exe = folder.bin + "torvane";
  ChildExit child = run_test_child(exe, "torvane", child_test, folder.home, env, out_path, out_path);
  GameResult r;
  r.exit_code = child.exit_code;
  r.signal = child.signal;
  r.out = read_whole_file(out_path);
  r.log = read_whole_file(folder.user() + "log.txt");
  return r;
}

std::string tail(const std::string& text, int lines) {
  size_t at = text.size();
  for (int n = 0; n <= lines && at > 0; n++) {
    size_t nl = text.rfind('\n', at - 1);
    if (nl == std::string::npos)
      return text;
    at = nl;
  }
  return text.substr(at);
}

// ---- the child's side -------------------------------------------------------------------

namespace {

constexpr int64_t TICKS_PER_SEC = 1000000;
constexpr int64_t UPDATE_TICKS = TICKS_PER_SEC / 20;

int64_t virtual_now = 0;
int update_count = 0;
UpdateHook hook;
std::vector<std::string> words_storage;
std::vector<char*> argv_storage;

// The log as the game writes it, read up to its end after every update.
std::vector<std::string> lines_seen;
size_t lines_taken = 0;
size_t shot_mark = 0;
long log_offset = 0;
std::string partial_line;

void poll_log() {
  const char* path = debug_log_path();
  if (!path || !path[0])
    return;
  FILE* f = fopen(path, "rb");
  if (!f)
    return;
  fseek(f, log_offset, SEEK_SET);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) {
    log_offset += long(n);
    for (size_t i = 0; i < n; i++) {
      if (buf[i] == '\n') {
        lines_seen.push_back(partial_line);
        partial_line.clear();
      } else {
        partial_line += buf[i];
      }
    }
  }
  fclose(f);
}

int64_t fake_now() { return virtual_now; }
int64_t fake_ticks_per_sec() { return TICKS_PER_SEC; }

// A frame takes one update's time: one frame is drawn after each update.
bool timed_render(float t) {
  bool drawn = render_d3d(t);
  virtual_now += UPDATE_TICKS;
  return drawn;
}

void fake_sleep(int msec) { virtual_now += int64_t(msec) * (TICKS_PER_SEC / 1000); }

void driven_update(float dt) {
  start_scene_update(dt);
  update_count++;
  poll_log();
  if (hook)
    hook(update_count);
}

LPARAM key_lparam(bool up) { return 1 | (up ? (LPARAM)3 << 30 : 0); }

int pointer_x = 0, pointer_y = 0;

}  // namespace

int run_entry(const std::vector<std::string>& words, uint64_t clock_start, UpdateHook after_update) {
  virtual_now = int64_t(clock_start);
  update_count = 0;
  hook = std::move(after_update);
  words_storage.assign(1, "torvane");
  words_storage.insert(words_storage.end(), words.begin(), words.end());
  argv_storage.clear();
  for (std::string& w : words_storage)
    argv_storage.push_back(w.data());
  argv_storage.push_back(nullptr);
  set_command_line(int(words_storage.size()), argv_storage.data());

  main_loop_services = default_main_loop_services;
  main_loop_services.now = fake_now;
  main_loop_services.ticks_per_sec = fake_ticks_per_sec;
  main_loop_services.update = driven_update;
  main_loop_services.render = timed_render;
  main_loop_services.sleep = fake_sleep;
  return WinMain((HINSTANCE)GetModuleHandleA(nullptr), nullptr, (LPSTR) "", SW_SHOWNORMAL);
}

int updates_done() { return update_count; }

std::string game_folder() {
  std::string exe = own_executable();
  return exe.substr(0, exe.rfind('/') + 1);
}

void key(int vk, bool down) {
  if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON) {
    UINT msg = vk == VK_LBUTTON ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
               : vk == VK_RBUTTON ? (down ? WM_RBUTTONDOWN : WM_RBUTTONUP)
                                  : (down ? WM_MBUTTONDOWN : WM_MBUTTONUP);
    PostMessageA(main_window, msg, 0, MAKELPARAM(pointer_x, pointer_y));
    return;
  }
  PostMessageA(main_window, down ? WM_KEYDOWN : WM_KEYUP, (WPARAM)vk, key_lparam(!down));
}

void tap(int vk) {
  key(vk, true);
  key(vk, false);
}

void pointer_to(int x, int y) {
  pointer_x = x;
  pointer_y = y;
  PostMessageA(main_window, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

void click(int x, int y) {
  pointer_to(x, y);
  key(VK_LBUTTON, true);
  key(VK_LBUTTON, false);
}

void quit() { PostQuitMessage(0); }

std::vector<std::string> take_log_lines() {
  std::vector<std::string> out(lines_seen.begin() + long(lines_taken), lines_seen.end());
  lines_taken = lines_seen.size();
  return out;
}

const std::vector<std::string>& log_lines_seen() { return lines_seen; }

bool logged(const std::string& text) {
  for (const std::string& l : lines_seen)
    if (l.find(text) != std::string::npos)
      return true;
  return false;
}

bool load_picture(const std::string& path, Picture& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    return false;
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint32_t> rgba(size_t(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
    return false;
  out.width = int(image.width);
  out.height = int(image.height);
  out.pixels.resize(rgba.size());
  // Bytes R, G, B, A in memory: 0xRRGGBB.
  for (size_t i = 0; i < rgba.size(); i++) {
    const uint8_t* c = (const uint8_t*)&rgba[i];
    out.pixels[i] = uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2];
  }
  out.path = path;
  return true;
}

void request_screenshot() {
  shot_mark = lines_seen.size();
  tap(VK_SNAPSHOT);
}

bool read_screenshot(Picture& out) {
  const std::string marker = "screenshot captured to '";
  for (size_t i = lines_seen.size(); i-- > shot_mark;) {
    size_t at = lines_seen[i].find(marker);
    if (at == std::string::npos)
      continue;
    std::string name = lines_seen[i].substr(at + marker.size());
    name = name.substr(0, name.find('\''));
    const char* home = getenv("XDG_DATA_HOME");
    if (!load_picture(std::string(home ? home : ".") + "/TORVANE/" + name, out))
      return false;
    shot_mark = lines_seen.size();
    return true;
  }
  return false;
}

}  // namespace play
