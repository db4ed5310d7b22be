#include "platform/win32/shell_execute.h"

#include <errno.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

extern char** environ;

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
