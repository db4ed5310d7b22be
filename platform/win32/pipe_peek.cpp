#include "platform/win32/pipe_peek.h"

#include <sys/ioctl.h>
#include <sys/stat.h>

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
