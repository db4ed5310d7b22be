// Clocks and paths: the monotonic clock, file times, the per-user folder, real and
// absolute paths, folder creation.
#include "engine/core/utils.h"

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <physfs.h>

#include "engine/core/fatal.h"
#include "engine/core/user_folder_check.h"
#include "platform/win32/user_folder.h"

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
  // The desktop's per-user data root, else the program's folder.
  char root[1024];
  if (get_user_data_root(root, sizeof(root)))
    return join_path(root);
  return join_path(app_path);
}

TempString<260> get_appdata_path(const char* sub) {
  return join_path(get_appdata_path(), sub);
}

TempString<260> get_appdata_folder_path(const char* sub) {
  if (const char* stand_in = stand_in_user_folder())
    return join_path(stand_in, sub);
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

namespace {

// mkdir of one folder; the first real failure (an existing entry is none) is kept in
// *first_error: the steps after it fail only because of it.
void make_folder(const char* path, int* first_error) {
  if (mkdir(path, 0755) != 0 && errno != EEXIST && *first_error == 0)
    *first_error = errno;
}

}  // namespace

bool create_directories(const char* path) {
  char buf[520];
  snprintf(buf, sizeof(buf), "%s", path);
  int first_error = 0;
  for (char* p = buf + 1; *p; p++) {
    if (*p != '/')
      continue;
    *p = 0;
    make_folder(buf, &first_error);
    *p = '/';
  }
  make_folder(buf, &first_error);
  struct stat st;
  bool exists = stat(buf, &st) == 0;
  if (exists && S_ISDIR(st.st_mode))
    return true;
  errno = first_error ? first_error : exists ? ENOTDIR : errno;
  return false;
}
