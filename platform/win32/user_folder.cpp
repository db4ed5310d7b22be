#include "platform/win32/user_folder.h"

#include <cstdio>
#include <cstdlib>

bool get_user_data_root(char* out, int size) {
  const char* xdg = getenv("XDG_DATA_HOME");
  const char* home = getenv("HOME");
  if (xdg && xdg[0] == '/')
    snprintf(out, (size_t)size, "%s/", xdg);
  else if (home && home[0])
    snprintf(out, (size_t)size, "%s/.local/share/", home);
  else
    return false;
  return true;
}

void get_temp_root(char* out, int size) {
  const char* tmp = getenv("TMPDIR");
  snprintf(out, (size_t)size, "%s/", tmp && tmp[0] == '/' ? tmp : "/tmp");
}
