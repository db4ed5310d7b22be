#include "platform/win32/program_path.h"

#include <unistd.h>

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
