#include "platform/win32/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool start_child_process(ChildProcess* child, const char* program, const char* const argv[]) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  int err = posix_spawn(&pid, program, &actions, &attributes, (char* const*)argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (err != 0) {
    close(fds[0]);
    return false;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  child->pid = pid;
  child->output = fds[0];
  return true;
}

int read_child_output(ChildProcess* child, char* buffer, int size) {
  for (;;) {
    ssize_t n = read(child->output, buffer, (size_t)size);
    if (n < 0 && errno == EINTR)
      continue;
    // Below 0: nothing waiting (EAGAIN), or a broken pipe, which ends with a 0 later.
    return n < 0 ? -1 : (int)n;
  }
}

static void release_child(ChildProcess* child) {
  if (child->output >= 0)
    close(child->output);
  *child = ChildProcess();
}

bool child_process_ended(ChildProcess* child, int* code) {
  int status = 0;
  pid_t done = waitpid(child->pid, &status, WNOHANG);
  if (done == 0)
    return false;
  *code = done < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  release_child(child);
  return true;
}

void kill_child_process(ChildProcess* child) {
  if (child->pid > 0) {
    kill(-child->pid, SIGTERM);
    // WNOWAIT: the child's id stays reserved, so the group can still be named below.
    siginfo_t info = {};
    for (int i = 0; i < 100; i++) {
      info.si_pid = 0;
      if (waitid(P_PID, child->pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0)
        break;
      usleep(10000);
    }
    kill(-child->pid, SIGKILL);  // what did not stop, or what the child left behind
    while (waitpid(child->pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  release_child(child);
}
