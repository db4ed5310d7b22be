#pragma once
// Directory watching for hot reload. A few directory trees are watched (the
// program's folder, the per-user folder, the module's source folder); every
// rendered frame update_file_notify collects the full paths of the files that
// changed below them, and reloaders ask whether a file or folder changed. The
// list is emptied once a second by clear_changed_files.
//
// Built on the platform's folder watcher (platform/win32/dir_watcher.h): one
// watch per folder of a tree, new sub-folders are watched as they appear,
// symbolic links to folders are followed, a symbolic link to a file reports the
// changes of the file it leads to under the link's own path, and an overflowed event
// queue counts as "everything under this root changed" until the next clear. Paths
// are compared without regard to letter case.
#include "engine/core/dynarray.h"
#include "engine/core/strings.h"

// One folder of a watched tree: its watch and its path relative to the
// tree's root ("" for the root, else ending in '/').
struct WatchedFolder {
  int wd;
  String relPath;
};

// A link of a watched tree to a file: the folder holding the file it leads to is
// watched, and a change of that file is reported as a change of the link.
struct LinkedFile {
  int wd;          // the watch of the folder holding the file
  String target;   // the file's name in that folder
  String linkRel;  // the link's path relative to the tree's root
};

// One watched directory tree.
struct DirWatch {
  int fd = -1;            // the tree's folder watcher; -1 when the tree could not be watched
  char path[260] = {};    // as passed to watch_real_dir
  DynArray<WatchedFolder> folders;
  DynArray<LinkedFile> linkedFiles;
  bool everythingChanged = false;  // the event queue overflowed since the last clear
};

extern DynArray<DirWatch*> dir_watches;     // in order of watch_real_dir calls
extern DynArray<String> changed_files;      // full real paths since the last clear, each once

// Closes every watch and empties both lists (start-up and shut-down).
void init_file_notify();
void close_file_notify();
// Starts watching a tree; nothing when a watch with the same path text exists.
// A path of 260 characters or more is fatal.
void watch_real_dir(const char* path);
// Collects the changes of every watch without blocking; once per rendered frame.
void update_file_notify();
void clear_changed_files();

bool was_real_file_changed(const char* path);
// True when some changed path begins with `path` (a plain prefix test); false
// for an empty path.
bool was_real_dir_changed(const char* path);
// The same for virtual-file-system paths, through get_real_path; false when the
// virtual file system does not find the path.
bool was_physfs_file_changed(const char* path);
bool was_physfs_dir_changed(const char* path);
