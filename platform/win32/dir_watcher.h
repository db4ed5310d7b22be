#pragma once
// Change notification for folders (inotify). A watcher holds watches on any number of
// folders, each for the folder's own entries (not those of its sub-folders), and hands
// out what happened in them without waiting.
#include <cstdint>

// What a change says of its entry; 0 for any other change (written, deleted, touched).
enum : uint32_t {
  DIR_CHANGE_ADDED = 1,        // created in the folder, or moved into it
  DIR_CHANGE_MOVED_AWAY = 2,   // moved out of the folder, or renamed (its old name)
  DIR_CHANGE_IS_FOLDER = 4,    // the entry is a folder
  DIR_CHANGE_FOLDER_GONE = 8,  // the folder's own watch has ended (deleted, or the watch removed)
  DIR_CHANGE_OVERFLOW = 16,    // changes were lost: the queue was full
};

struct DirChange {
  int folder;        // the watch add_dir_watch returned; not meaningful with DIR_CHANGE_OVERFLOW
  uint32_t what;     // DIR_CHANGE_* bits
  const char* name;  // the entry's name in the folder; "" for the folder itself
};

// A new watcher that never blocks, or -1 when the system refuses one.
int open_dir_watcher();
// Closes the watcher and every watch it holds.
void close_dir_watcher(int watcher);
// Watches one folder (a link to a folder is followed). Watching a folder the watcher
// already watches returns the same watch. -1 when the folder cannot be watched.
int add_dir_watch(int watcher, const char* folder);
void remove_dir_watch(int watcher, int folder);
// Hands every change waiting on the watcher to `on_change`, oldest first, and returns
// when none is left. `on_change` may add and remove watches of the same watcher; the
// change's name is valid only during the call.
void read_dir_changes(int watcher, void (*on_change)(const DirChange& change, void* context), void* context);
