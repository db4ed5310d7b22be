// Platform utilities on Linux: clocks, paths, libraries, shell execution, pipes.
#include "engine/core/utils.h"

#include <dlfcn.h>
#include <errno.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <physfs.h>

#include "engine/core/fatal.h"
#include "engine/core/log.h"
#include "engine/core/mem.h"

extern char** environ;

char app_path[260] = "";
const char* const product_name = "TORVANE";

// ---- Clock -----------------------------------------------------------------
// Ticks are nanoseconds of CLOCK_MONOTONIC. The start reading is taken when the
// program loads, so log stamps are sane even before init_time runs.

namespace {

const int64_t ticks_per_sec = 1000000000;

int64_t read_clock() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (int64_t)ts.tv_sec * ticks_per_sec + ts.tv_nsec;
}

int64_t clock_frequency = ticks_per_sec;
double clock_reciprocal = 1.0 / ticks_per_sec;
int64_t clock_start = read_clock();

// ticks * scale / frequency without overflowing the product.
int64_t scale_ticks(int64_t ticks, int64_t scale, int64_t divisor) {
  return (int64_t)((__int128)ticks * scale / divisor);
}

}  // namespace

void init_time() {
  clock_frequency = ticks_per_sec;
  clock_reciprocal = 1.0 / (double)clock_frequency;
  clock_start = read_clock();
}

int64_t get_ref_time() {
  return read_clock();
}

int64_t get_time_since_start() {
  return read_clock() - clock_start;
}

int64_t time_ticks_per_sec() {
  return clock_frequency;
}

float get_time_sec(int64_t ticks) {
  return (float)((double)ticks * clock_reciprocal);
}

int get_time_msec(int64_t ticks) {
  return (int)scale_ticks(ticks, 1000, clock_frequency);
}

int64_t get_time_usec(int64_t ticks) {
  return scale_ticks(ticks, 1000000, clock_frequency);
}

int64_t msec_to_ticks(int msec) {
  return scale_ticks(msec, clock_frequency, 1000);
}

// ---- Paths -----------------------------------------------------------------

bool get_exe_filename(char* buffer, int size) {
  if (!buffer || size <= 0)
    return false;
  ssize_t n = readlink("/proc/self/exe", buffer, (size_t)size);
  if (n <= 0 || n >= size) {
    // A name that fills the whole buffer may have been cut.
    buffer[n >= size ? size - 1 : 0] = 0;
    return false;
  }
  buffer[n] = 0;
  return true;
}

bool get_exe_path(char* buffer, int size) {
  if (!get_exe_filename(buffer, size))
    return false;
  char* cut = buffer;
  for (char* p = buffer; *p; p++) {
    if (*p == '/' || *p == '\\' || *p == ':')
      cut = p + 1;
  }
  *cut = 0;
  return true;
}

int64_t get_file_time(const char* path) {
  struct stat st;
  if (!path || stat(path, &st) != 0)
    return 0;
  return (int64_t)st.st_mtime;
}

// Joins up to three texts into a path buffer; a path of 260 characters or more
// is the assertion "l<BS".
static TempString<260> join_path(const char* a, const char* b = "", const char* c = "") {
  char joined[1024];
  snprintf(joined, sizeof(joined), "%s%s%s", a, b ? b : "", c ? c : "");
  return TempString<260>(joined);
}

TempString<260> get_appdata_path() {
  // $XDG_DATA_HOME when it is an absolute path, else ~/.local/share, else the
  // program's folder.
  const char* xdg = getenv("XDG_DATA_HOME");
  const char* home = getenv("HOME");
  if (xdg && xdg[0] == '/')
    return join_path(xdg, "/");
  if (home && home[0])
    return join_path(home, "/.local/share/");
  return join_path(app_path);
}

TempString<260> get_appdata_path(const char* sub) {
  return join_path(get_appdata_path(), sub);
}

TempString<260> get_appdata_folder_path(const char* sub) {
  return join_path(get_appdata_path(), product_name, join_path("/", sub));
}

TempString<260> get_real_path(const char* vfs_path) {
  TempString<260> path;
  const char* dir = vfs_path ? PHYSFS_getRealDir(vfs_path) : nullptr;
  if (!dir)
    return path;
  const char* sep = PHYSFS_getDirSeparator();
  ASSERT(sep[0] && !sep[1]);
  size_t dir_len = strlen(dir), path_len = strlen(vfs_path);
  if (dir_len + path_len >= 260)
    return path;
  memcpy(path.str, dir, dir_len);
  for (size_t i = 0; i < path_len; i++)
    path.str[dir_len + i] = vfs_path[i] == '/' ? sep[0] : vfs_path[i];
  path.str[dir_len + path_len] = 0;
  return path;
}

// Makes `path` absolute and resolves "." and ".." by text alone (the file need
// not exist). Backslashes count as separators. False when it does not fit.
static bool full_path(const char* path, TempString<260>& out) {
  char joined[1024];
  int n;
  if (path[0] == '/' || path[0] == '\\') {
    n = snprintf(joined, sizeof(joined), "%s", path);
  } else {
    char cwd[260];
    if (!getcwd(cwd, sizeof(cwd)))
      return false;
    n = snprintf(joined, sizeof(joined), "%s/%s", cwd, path);
  }
  if (n < 0 || n >= (int)sizeof(joined))
    return false;
  char result[1024];
  int len = 0;
  const char* p = joined;
  while (*p) {
    while (*p == '/' || *p == '\\')
      p++;
    const char* start = p;
    while (*p && *p != '/' && *p != '\\')
      p++;
    int seg = (int)(p - start);
    if (seg == 0 || (seg == 1 && start[0] == '.'))
      continue;
    if (seg == 2 && start[0] == '.' && start[1] == '.') {
      while (len > 0 && result[len - 1] != '/')
        len--;
      if (len > 0)
        len--;
      continue;
    }
    result[len++] = '/';
    memcpy(result + len, start, (size_t)seg);
    len += seg;
  }
  // Keep a trailing separator: folder paths end with one.
  size_t in_len = strlen(joined);
  if (len == 0 || (in_len && (joined[in_len - 1] == '/' || joined[in_len - 1] == '\\')))
    result[len++] = '/';
  if (len >= 260)
    return false;
  out.assign(result, len);
  return true;
}

TempString<260> make_full_path(const char* path) {
  if (!path)
    return TempString<260>(app_path);
  TempString<260> result;
  bool absolute = path[0] == '/' || path[0] == '\\';
  char joined[1024];
  int n = snprintf(joined, sizeof(joined), "%s%s", absolute ? "" : app_path, path);
  if (n < 0 || n >= (int)sizeof(joined) || !full_path(joined, result)) {
    // Too long for a path buffer: an empty result, never a cut-off path.
    result.assign("");
    return result;
  }
  return result;
}

bool create_directories(const char* path) {
  char buf[520];
  snprintf(buf, sizeof(buf), "%s", path);
  for (char* p = buf + 1; *p; p++) {
    if (*p != '/')
      continue;
    *p = 0;
    mkdir(buf, 0755);
    *p = '/';
  }
  mkdir(buf, 0755);
  struct stat st;
  return stat(buf, &st) == 0 && S_ISDIR(st.st_mode);
}

// ---- Libraries, shell, pipes, window -----------------------------------------

void* load_library(const char* file_name) {
  return file_name ? dlopen(file_name, RTLD_NOW | RTLD_LOCAL) : nullptr;
}

void* get_proc_address(void* library, const char* name) {
  return library && name ? dlsym(library, name) : nullptr;
}

bool free_library(void* library) {
  return library && dlclose(library) == 0;
}

// Appends `text` to `out` in single quotes, so the shell takes it as one word.
static void append_quoted(char* out, size_t size, const char* text) {
  size_t len = strlen(out);
  auto put = [&](const char* piece) {
    size_t l = strlen(piece);
    if (len + l < size) {
      memcpy(out + len, piece, l + 1);
      len += l;
    }
  };
  put("'");
  for (const char* p = text; *p; p++) {
    char c[2] = {*p, 0};
    put(*p == '\'' ? "'\\''" : c);
  }
  put("'");
}

bool shell_execute(const char* operation, const char* file, const char* parameters, const char* directory) {
  // "open" (or no operation) hands the file to the desktop's opener; any other
  // operation runs the file itself with the parameters.
  if (!file || !file[0])
    return false;
  char command[2048] = "";
  if (directory && directory[0]) {
    strcat(command, "cd ");
    append_quoted(command, sizeof(command), directory);
    strcat(command, " && ");
  }
  bool open = !operation || !strcmp(operation, "open");
  if (open)
    strcat(command, "exec xdg-open ");
  append_quoted(command, sizeof(command), file);
  if (!open && parameters && strlen(command) + strlen(parameters) + 2 < sizeof(command)) {
    strcat(command, " ");
    strcat(command, parameters);
  }
  // The action runs in the background of a shell that exits at once, so it
  // neither blocks the caller nor is left as a zombie.
  char background[2100];
  snprintf(background, sizeof(background), "( %s ) </dev/null >/dev/null 2>&1 &", command);
  const char* argv[] = {"/bin/sh", "-c", background, nullptr};
  pid_t pid;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, (char* const*)argv, environ) != 0)
    return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int peek_pipe(FILE* file) {
  if (!file)
    return 0;
  struct stat st;
  int fd = fileno(file);
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISFIFO(st.st_mode))
    return 1;
  int waiting = 0;
  if (ioctl(fd, FIONREAD, &waiting) != 0)
    return 1;
  return waiting;
}

static void* main_window = nullptr;

void* get_main_window() {
  return main_window;
}

void set_main_window(void* window) {
  main_window = window;
}

// ---- GPU activity ----------------------------------------------------------
// The AMD display library's figure. Its loader looks for the library under the
// platform's names; where it is absent (here, always) the figure is unavailable.

namespace {

typedef void* (*AdlAllocFunc)(int size);
typedef int (*AdlMainControlCreate)(AdlAllocFunc alloc, int connected_only);
typedef int (*AdlMainControlDestroy)();
typedef int (*AdlNumberOfAdaptersGet)(int* count);
struct AdlActivity {
  int size, engine_clock, memory_clock, vddc, activity_percent, current_performance_level, current_bus_speed,
      current_bus_lanes, maximum_bus_lanes, reserved;
};
typedef int (*AdlCurrentActivityGet)(int adapter, AdlActivity* activity);

void* adl_library = nullptr;
AdlCurrentActivityGet adl_current_activity = nullptr;

void* adl_alloc(int size) {
  return dlmalloc((size_t)size);
}

void unload_adl() {
  if (adl_library)
    free_library(adl_library);
  adl_library = nullptr;
  adl_current_activity = nullptr;
}

}  // namespace

bool init_gpu_activity() {
  if (adl_library)
    return true;
  adl_library = load_library("atiadlxx.so");
  if (!adl_library)
    adl_library = load_library("atiadlxy.so");
  if (!adl_library)
    return false;
  auto create = (AdlMainControlCreate)get_proc_address(adl_library, "ADL_Main_Control_Create");
  auto destroy = get_proc_address(adl_library, "ADL_Main_Control_Destroy");
  auto adapters = get_proc_address(adl_library, "ADL_Adapter_NumberOfAdapters_Get");
  adl_current_activity = (AdlCurrentActivityGet)get_proc_address(adl_library, "ADL_Overdrive5_CurrentActivity_Get");
  if (!create || !destroy || !adapters || !adl_current_activity) {
    unload_adl();
    return false;
  }
  if (create(adl_alloc, 1) == 0)
    return true;
  debug("ADL_Main_Control_Create failed!");
  unload_adl();
  return false;
}

bool get_gpu_activity(int* percent) {
  if (!adl_library || !adl_current_activity)
    return false;
  AdlActivity activity = {};
  activity.size = (int)sizeof(activity);
  if (adl_current_activity(0, &activity) != 0)
    return false;
  if (percent)
    *percent = activity.activity_percent;
  return true;
}

void close_gpu_activity() {
  if (!adl_library)
    return;
  auto destroy = (AdlMainControlDestroy)get_proc_address(adl_library, "ADL_Main_Control_Destroy");
  if (destroy)
    destroy();
  unload_adl();
}
