// Rebuilding the game-object module while the game runs. The module's sources are
// listed from "main.ls" in its source folder by following "import " lines; when a
// listed file changes, "rebuild_dll.sh" runs as a child process whose output is read
// a little at a time on the periodic checks, and a module that built cleanly and
// passes the checks replaces the loaded one. A source saved while the build ran is
// built once more when it ends.
#include <strings.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "engine/core/error_message.h"
#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/utils.h"
#include "engine/core/watch.h"
#include "engine/render/d3d_textures.h"
#include "engine/world/gameobj_host.h"
#include "platform/win32/child_process.h"

DynArray<GameObjSourceFile> gameobj_source_files;
char gameobj_source_dir[260];
char gameobj_main_file[260];

namespace {

const char* const MODULE_FILE = "gameobj.so";
const char* const NEW_MODULE_FILE = "gameobj_new.so";
const char* const REBUILD_SCRIPT = "rebuild_dll.sh";
// The on-screen errors of the build and of the swap that follows it.
const char* const MODULE_ERRORS = "gameobj rebuild";

// The running rebuild: the script's process and its output, gathered into lines.
struct RebuildPipe {
  ChildProcess script;
  bool outputEnded = false;
  char line[1024];
  int lineLen = 0;
};
RebuildPipe rebuild;
int64_t rebuild_start_time = 0;
// A source was saved while the last build ran: the build may have read it before
// the save, so the next check builds again.
bool rebuild_again = false;

bool is_word_char(char c) { return isalnum((unsigned char)c) || c == '_'; }

// Adds one imported unit: its ".ls" file, then the module's C++ header and source
// of that name, whichever exist.
void add_gameobj_import(const char* name) {
  static const char* const extensions[] = {".ls", ".h", ".cpp"};
  for (const char* ext : extensions) {
    char path[1024];
    int n = snprintf(path, sizeof(path), "%s%s%s", gameobj_source_dir, name, ext);
    if (n >= 260) {
      debug("gameobj import too long: %s", name);
      return;
    }
    add_gameobj_source_file(path);
  }
}

// The module name of an "import " line with '.' turned into '/'; false for any
// other line.
bool parse_import_line(const char* line, char* name, int size) {
  if (strncmp(line, "import ", 7) != 0)
    return false;
  const char* p = line + 7;
  while (*p == ' ' || *p == '\t')
    p++;
  int len = 0;
  while (*p && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r' && len < size - 1)
    name[len++] = *p == '.' ? '/' : *p, p++;
  name[len] = 0;
  return len > 0;
}

void handle_rebuild_line(const char* text) {
  fputs(text, stdout);
  fputc('\n', stdout);
  fflush(stdout);
  if (line_has_error_word(text))
    append_source_error(MODULE_ERRORS, text, -1);
}

// Reads what the pipe holds without waiting; every complete line (or 1023
// characters) is handled, and the rest once the output ends.
void read_rebuild_output() {
  for (;;) {
    char chunk[512];
    int n = read_child_output(&rebuild.script, chunk, sizeof(chunk));
    if (n < 0)
      return;  // nothing waiting now
    if (n == 0) {
      rebuild.outputEnded = true;
      break;
    }
    for (int i = 0; i < n; i++) {
      char c = chunk[i];
      if (c == '\n' || rebuild.lineLen == (int)sizeof(rebuild.line) - 1) {
        rebuild.line[rebuild.lineLen] = 0;
        handle_rebuild_line(rebuild.line);
        rebuild.lineLen = 0;
        if (c == '\n')
          continue;
      }
      if (c != '\r')
        rebuild.line[rebuild.lineLen++] = c;
    }
  }
  if (rebuild.lineLen > 0) {
    rebuild.line[rebuild.lineLen] = 0;
    handle_rebuild_line(rebuild.line);
    rebuild.lineLen = 0;
  }
}

// In a process group of its own, so that the build's tools end with the script.
bool start_rebuild_script(const char* script) {
  // The script learns where the game's folder is from its first argument.
  const char* argv[] = {"sh", script, app_path, nullptr};
  rebuild = RebuildPipe();
  return start_child_process(&rebuild.script, "/bin/sh", argv);
}

// Ends a running rebuild at once, with the build's tools; the script is waited for, so
// that it leaves no zombie and writes no module afterwards.
void stop_rebuild() {
  kill_child_process(&rebuild.script);
  rebuild = RebuildPipe();
}

void remove_new_module_file() {
  TempString<260> path = make_full_path(NEW_MODULE_FILE);
  unlink(path.str);
}

// True when a listed source's time is no longer the one it was listed with, at the
// start of the build. Its change notice may have come and gone while the build ran.
bool sources_saved_during_build() {
  for (const GameObjSourceFile& f : gameobj_source_files)
    if (get_file_time(f.path.c_str()) != f.time) {
      debug("gameobj source %s changed during the rebuild", f.path.c_str());
      return true;
    }
  return false;
}

// The running case of the poll: false once the script has ended and its end was
// reported.
bool advance_rebuild() {
  read_rebuild_output();
  if (!rebuild.outputEnded)
    return true;
  int code = 0;
  if (!child_process_ended(&rebuild.script, &code))
    return true;  // output closed, the script is still finishing
  rebuild_again = sources_saved_during_build();
  if (code == 0 && !has_source_error(MODULE_ERRORS)) {
    debug("=== DLL rebuild done in %d ms", get_time_msec(get_ref_time() - rebuild_start_time));
    return false;
  }
  const char* failed = "gameobj rebuild failed!!!";
  append_source_error(MODULE_ERRORS, failed, -1);
  debug("!!! failed to rebuild gameobj DLL (code %d)", code);
  // A failed build is never loaded, whatever file it left behind.
  remove_new_module_file();
  return false;
}

}  // namespace

bool line_has_error_word(const char* text) {
  for (const char* p = text; *p; p++) {
    if (p > text && is_word_char(p[-1]))
      continue;
    if (strncasecmp(p, "error", 5) != 0)
      continue;
    char after = p[5];
    if (!is_word_char(after))
      return true;
    if ((after == 's' || after == 'S') && !is_word_char(p[6]))
      return true;
  }
  return false;
}

int find_gameobj_source_file(const char* abs_path) {
  for (int i = 0; i < gameobj_source_files.size(); i++)
    if (strcasecmp(gameobj_source_files[i].path.c_str(), abs_path) == 0)
      return i;
  return -1;
}

void clear_gameobj_source_files() {
  gameobj_source_files.clearAndFree();
}

void add_gameobj_source_file(const char* path) {
  if (!path || !path[0])
    return;
  TempString<260> abs = make_full_path(path);
  if (!abs.str[0] || find_gameobj_source_file(abs.str) >= 0)
    return;
  FILE* f = fopen(abs.str, "r");
  if (!f)
    return;
  GameObjSourceFile& entry = gameobj_source_files.push();
  entry.path = abs.str;
  entry.time = get_file_time(abs.str);
  char line[256];
  while (fgets(line, sizeof(line), f)) {
    char name[256];
    if (parse_import_line(line, name, sizeof(name)))
      add_gameobj_import(name);
  }
  fclose(f);
}

bool gameobj_sources_changed() {
  for (int i = 0; i < gameobj_source_files.size(); i++) {
    const GameObjSourceFile& f = gameobj_source_files[i];
    if (was_real_file_changed(f.path.c_str()) && get_file_time(f.path.c_str()) != f.time)
      return true;
  }
  return false;
}

bool gameobj_rebuild_running() { return rebuild.script.pid > 0; }

bool poll_gameobj_rebuild() {
  if (gameobj_rebuild_running())
    return advance_rebuild();
  if (!rebuild_again && !gameobj_sources_changed())
    return false;
  rebuild_again = false;

  clear_gameobj_source_files();
  add_gameobj_source_file(gameobj_main_file);
  set_source_error(MODULE_ERRORS, nullptr);
  debug("=== rebuilding gameobj DLL");

  TempString<260> dir = make_full_path(gameobj_source_dir);
  if (chdir(dir.str) != 0)
    debug("cannot enter %s", dir.str);
  char script_name[520];
  snprintf(script_name, sizeof(script_name), "%s%s", gameobj_source_dir, REBUILD_SCRIPT);
  TempString<260> script = make_full_path(script_name);
  // What is loaded afterwards must come from this build.
  remove_new_module_file();
  rebuild_start_time = get_ref_time();
  if (!start_rebuild_script(script.str)) {
    debug("!!! Error starting DLL rebuild");
    return true;
  }
  advance_rebuild();
  return true;
}

bool reload_gameobj(bool force) {
  if (poll_gameobj_rebuild())
    return false;
  TempString<260> new_path = make_full_path(NEW_MODULE_FILE);
  TempString<260> cur_path = make_full_path(MODULE_FILE);
  if (!force && access(new_path.str, F_OK) != 0)
    return false;
  if (!force) {
    // The running module stays unless the new one can take its place.
    if (const char* why = check_gameobj_module(new_path.str)) {
      debug("!!! %s not loaded: %s", NEW_MODULE_FILE, why);
      TempString<512> msg;
      msg.format("gameobj reload failed: %s", why);
      append_source_error(MODULE_ERRORS, msg.str, -1);
      remove_new_module_file();
      return false;
    }
  }
  // The new module takes the textures the old one loaded as they stand: a font page
  // broken since keeps the picture it had instead of failing the font.
  hold_named_textures();
  unload_gameobj_dll();
  const char* status = "ok";
  bool result = true;
  // rename replaces the old file in one step; the old image stays mapped until
  // it is unloaded, and a failed rename leaves the old file in place.
  if (!force && rename(new_path.str, cur_path.str) != 0) {
    status = "failed: rename";
    result = false;
  }
  if (!load_gameobj_dll(MODULE_FILE))
    fatal("can't load gameobj.so");
  release_held_textures();
  debug("gameobj reload %s", status);
  return result;
}

void init_gameobj_dll(const char* source_dir, const char* main_file) {
  unload_gameobj_dll();
  clear_gameobj_source_files();
  TempString<260> abs = make_full_path(source_dir);
  debug("gameobj source path: %s", abs.str);
  watch_real_dir(abs.str);
  gameobj_source_dir[0] = 0;
  gameobj_main_file[0] = 0;
  if (source_dir) {
    TempString<260> dir(source_dir);
    TempString<260> main_path(source_dir);
    char joined[1024];
    snprintf(joined, sizeof(joined), "%s%s", source_dir, main_file ? main_file : "");
    main_path.assign(joined);
    memcpy(gameobj_source_dir, dir.str, sizeof(dir.str));
    memcpy(gameobj_main_file, main_path.str, sizeof(main_path.str));
  }
  add_gameobj_source_file(gameobj_main_file);
  if (!load_gameobj_dll(MODULE_FILE))
    fatal("can't load gameobj.so");
}

void close_gameobj_dll() {
  unload_gameobj_dll();
  clear_gameobj_source_files();
  if (gameobj_rebuild_running()) {
    debug("=== gameobj rebuild stopped");
    stop_rebuild();
  }
  rebuild_again = false;
}
