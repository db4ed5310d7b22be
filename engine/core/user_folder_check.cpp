#include "engine/core/user_folder_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/core/utils.h"
#include "platform/win32/user_folder.h"

namespace {

char stand_in[260] = "";
char note[800] = "";

bool writable_folder(const char* path) { return create_directories(path) && access(path, W_OK | X_OK) == 0; }

// The stand-in lies in a folder every user writes to: it must be a folder of our
// own, not another user's nor a link planted in its place.
bool own_private_folder(const char* path) {
  mkdir(path, 0700);
  struct stat st;
  if (lstat(path, &st) != 0)
    return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
    errno = EACCES;
    return false;
  }
  return access(path, W_OK | X_OK) == 0;
}

}  // namespace

bool check_user_folder() {
  stand_in[0] = 0;
  note[0] = 0;
  TempString<260> folder = get_appdata_folder_path("");
  if (writable_folder(folder))
    return true;
  char reason[200];
  snprintf(reason, sizeof(reason), "%s", strerror(errno));

  char temp_root[260], candidate[260];
  get_temp_root(temp_root, sizeof(temp_root));
  int n = snprintf(candidate, sizeof(candidate), "%s%s-%u/", temp_root, product_name, (unsigned)geteuid());
  bool usable = n > 0 && n < (int)sizeof(candidate) && own_private_folder(candidate);
  if (usable) {
    snprintf(stand_in, sizeof(stand_in), "%s", candidate);
    snprintf(note, sizeof(note), "The per-user folder '%s' can't be written (%s): the log, settings and cache are kept in '%s'",
             folder.c_str(), reason, stand_in);
  } else {
    snprintf(note, sizeof(note),
             "The per-user folder '%s' can't be written (%s), nor '%s' in its place (%s): no log file, settings or cache are kept",
             folder.c_str(), reason, candidate, strerror(errno));
  }
  fprintf(stderr, "%s\n", note);
  fflush(stderr);
  return usable;
}

const char* stand_in_user_folder() { return stand_in[0] ? stand_in : nullptr; }

const char* user_folder_note() { return note[0] ? note : nullptr; }
