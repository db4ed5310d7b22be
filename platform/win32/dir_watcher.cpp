#include "platform/win32/dir_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

// Creation, deletion, both names of a rename, writes and time stamps: the file
// name, folder name and last-write changes a reloader cares about.
static const uint32_t WATCH_MASK =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB;

int open_dir_watcher() { return inotify_init1(IN_NONBLOCK | IN_CLOEXEC); }

void close_dir_watcher(int watcher) {
  if (watcher >= 0)
    close(watcher);  // drops all of its watches
}

int add_dir_watch(int watcher, const char* folder) { return inotify_add_watch(watcher, folder, WATCH_MASK); }

void remove_dir_watch(int watcher, int folder) { inotify_rm_watch(watcher, folder); }

static uint32_t change_bits(uint32_t mask) {
  uint32_t what = 0;
  if (mask & (IN_CREATE | IN_MOVED_TO))
    what |= DIR_CHANGE_ADDED;
  if (mask & IN_MOVED_FROM)
    what |= DIR_CHANGE_MOVED_AWAY;
  if (mask & IN_ISDIR)
    what |= DIR_CHANGE_IS_FOLDER;
  if (mask & IN_IGNORED)
    what |= DIR_CHANGE_FOLDER_GONE;
  if (mask & IN_Q_OVERFLOW)
    what |= DIR_CHANGE_OVERFLOW;
  return what;
}

void read_dir_changes(int watcher, void (*on_change)(const DirChange& change, void* context), void* context) {
  alignas(inotify_event) static char buffer[64000];
  for (;;) {
    ssize_t got = read(watcher, buffer, sizeof(buffer));
    if (got <= 0)
      return;  // EAGAIN: nothing more now
    for (char* p = buffer; p < buffer + got;) {
      const inotify_event* ev = (const inotify_event*)p;
      DirChange change = {ev->wd, change_bits(ev->mask), ev->len ? ev->name : ""};
      on_change(change, context);
      p += sizeof(inotify_event) + ev->len;
    }
  }
}
