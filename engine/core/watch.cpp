// Directory watching on the platform's folder watcher, and the change queries.
#include "engine/core/watch.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <strings.h>

#include "engine/core/fatal.h"
#include "engine/core/utils.h"
#include "platform/win32/dir_watcher.h"

// ---- paths ----------------------------------------------------------------------

// The tree's root with a trailing '/', to which relative paths are appended.
static void root_prefix(const DirWatch& w, DynArray<char>& out) {
  int l = (int)strlen(w.path);
  out.clear();
  out.append(l, w.path);
  if (l > 0 && w.path[l - 1] != '/') {
    char sep = '/';
    out.push(&sep);
  }
}

// root + rel + name, NUL-terminated, in `out`.
static const char* full_path(const DirWatch& w, const char* rel, const char* name, DynArray<char>& out) {
  root_prefix(w, out);
  out.append((int)strlen(rel), rel);
  out.append((int)strlen(name) + 1, name);
  return out.data;
}

static void add_changed_file(const char* path) {
  for (const String& s : changed_files)
    if (strcasecmp(s.c_str(), path) == 0)
      return;
  changed_files.push().assign(path);
}

// ---- the folder table of one tree ----------------------------------------------

static int find_folder_by_wd(const DirWatch& w, int wd) {
  for (int i = 0; i < w.folders.size(); i++)
    if (w.folders[i].wd == wd)
      return i;
  return -1;
}

static void report(const DirWatch& w, const char* rel, const char* name) {
  DynArray<char> path;
  add_changed_file(full_path(w, rel, name, path));
}

// ---- links to files ----------------------------------------------------------------

// True when root + rel + name is a symbolic link that leads to a file.
static bool is_link_to_file(const DirWatch& w, const char* rel, const char* name) {
  DynArray<char> path;
  full_path(w, rel, name, path);
  struct stat link, target;
  return lstat(path.data, &link) == 0 && S_ISLNK(link.st_mode) && stat(path.data, &target) == 0 &&
         S_ISREG(target.st_mode);
}

// Watches the folder of the file that the link root + rel + name leads to; the
// link's entry is made or brought up to date.
static void watch_linked_file(DirWatch& w, const char* rel, const char* name) {
  DynArray<char> path;
  full_path(w, rel, name, path);
  char target[PATH_MAX];
  if (!realpath(path.data, target))
    return;
  char* slash = strrchr(target, '/');
  if (!slash)
    return;
  *slash = 0;
  int wd = add_dir_watch(w.fd, target[0] ? target : "/");
  if (wd < 0)
    return;
  DynArray<char> linkRel;
  linkRel.append((int)strlen(rel), rel);
  linkRel.append((int)strlen(name) + 1, name);
  LinkedFile* entry = nullptr;
  for (LinkedFile& f : w.linkedFiles)
    if (strcmp(f.linkRel.c_str(), linkRel.data) == 0)
      entry = &f;
  if (!entry) {
    entry = &w.linkedFiles.push();
    entry->linkRel.assign(linkRel.data);
  }
  entry->wd = wd;
  entry->target.assign(slash + 1);
}

// Reports the links whose file is `name` in the watched folder `wd`.
static void report_linked_files(const DirWatch& w, int wd, const char* name) {
  for (const LinkedFile& f : w.linkedFiles)
    if (f.wd == wd && strcmp(f.target.c_str(), name) == 0)
      report(w, "", f.linkRel.c_str());
}

// Watches the folder root + rel (rel empty or ending in '/') and every folder
// below it, following links to folders. A folder this tree already watches (the
// same folder reached again, as through a link) is not entered again, except by
// a rescan (`visited` given), which walks the whole tree once to find folders
// whose events were lost. With reportContents, every entry found is reported as
// changed: a folder that has just appeared may already hold files whose own
// events came before its watch.
static void watch_folder(DirWatch& w, const char* rel, bool reportContents, DynArray<int>* visited) {
  DynArray<char> path;
  full_path(w, rel, "", path);
  int wd = add_dir_watch(w.fd, path.data);
  if (wd < 0)
    return;
  bool known = find_folder_by_wd(w, wd) >= 0;
  if (known && !visited)
    return;
  if (visited) {
    for (int seen : *visited)
      if (seen == wd)
        return;
    visited->push(&wd);
  }
  if (!known) {
    WatchedFolder& folder = w.folders.push();
    folder.wd = wd;
    folder.relPath.assign(rel);
  }

  DIR* dir = opendir(path.data);
  if (!dir)
    return;
  while (dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
      continue;
    if (reportContents)
      report(w, rel, name);
    if (is_link_to_file(w, rel, name)) {
      watch_linked_file(w, rel, name);
      continue;
    }
    DynArray<char> child;
    struct stat st;
    if (stat(full_path(w, rel, name, child), &st) != 0 || !S_ISDIR(st.st_mode))
      continue;
    DynArray<char> childRel;
    childRel.append((int)strlen(rel), rel);
    childRel.append((int)strlen(name), name);
    childRel.append(2, "/");
    watch_folder(w, childRel.data, reportContents, visited);
  }
  closedir(dir);
}

// Forgets the folder rel + name + '/' and everything below it (moved away).
static void forget_folder(DirWatch& w, const char* rel, const char* name) {
  DynArray<char> prefix;
  prefix.append((int)strlen(rel), rel);
  prefix.append((int)strlen(name), name);
  prefix.append(2, "/");
  int l = prefix.size() - 1;
  for (int i = w.folders.size() - 1; i >= 0; i--) {
    if (strncmp(w.folders[i].relPath.c_str(), prefix.data, (size_t)l) != 0)
      continue;
    remove_dir_watch(w.fd, w.folders[i].wd);
    w.folders.remove(i, 1);
  }
}

static void handle_change(const DirChange& change, void* context) {
  DirWatch& w = *(DirWatch*)context;
  if (change.what & DIR_CHANGE_OVERFLOW) {
    // Events were lost: everything under the root counts as changed, and
    // folders that appeared meanwhile must still be watched.
    w.everythingChanged = true;
    DynArray<int> visited;
    watch_folder(w, "", false, &visited);
    return;
  }
  if (change.name[0])
    report_linked_files(w, change.folder, change.name);
  int i = find_folder_by_wd(w, change.folder);
  if (i < 0)
    return;
  if (change.what & DIR_CHANGE_FOLDER_GONE) {
    w.folders.remove(i, 1);
    return;
  }
  if (!change.name[0])
    return;  // a change of the folder itself; its parent reports it by name
  // Copy: watching a new folder may grow the table.
  String rel = w.folders[i].relPath;
  report(w, rel.c_str(), change.name);
  if (change.what & DIR_CHANGE_MOVED_AWAY) {
    if (change.what & DIR_CHANGE_IS_FOLDER)
      forget_folder(w, rel.c_str(), change.name);
    return;
  }
  if (!(change.what & DIR_CHANGE_ADDED))
    return;
  // A new folder, or a link to one or to a file.
  if (is_link_to_file(w, rel.c_str(), change.name)) {
    watch_linked_file(w, rel.c_str(), change.name);
    return;
  }
  DynArray<char> path;
  struct stat st;
  if (stat(full_path(w, rel.c_str(), change.name, path), &st) != 0 || !S_ISDIR(st.st_mode))
    return;
  DynArray<char> childRel;
  childRel.append(rel.len(), rel.c_str());
  childRel.append((int)strlen(change.name), change.name);
  childRel.append(2, "/");
  watch_folder(w, childRel.data, true, nullptr);
}

// ---- the interface --------------------------------------------------------------

static void close_all_watches() {
  for (int i = dir_watches.size() - 1; i >= 0; i--) {
    DirWatch* w = dir_watches[i];
    dir_watches.remove(i, 1);
    close_dir_watcher(w->fd);
    delete w;
  }
  dir_watches.clearAndFree();
  changed_files.clearAndFree();
}

void init_file_notify() { close_all_watches(); }
void close_file_notify() { close_all_watches(); }

void watch_real_dir(const char* path) {
  for (const DirWatch* w : dir_watches)
    if (strcmp(w->path, path) == 0)
      return;
  if (strlen(path) >= sizeof(DirWatch::path))
    assert_failed("strlen(path)<_MAX_PATH", __FILE__, __LINE__);
  DirWatch* w = new DirWatch;
  strcpy(w->path, path);
  w->fd = open_dir_watcher();
  if (w->fd >= 0) {
    watch_folder(*w, "", false, nullptr);
    if (w->folders.isEmpty()) {  // the root cannot be watched: report nothing
      close_dir_watcher(w->fd);
      w->fd = -1;
    }
  }
  dir_watches.push(&w);
}

void update_file_notify() {
  for (DirWatch* w : dir_watches)
    if (w->fd >= 0)
      read_dir_changes(w->fd, handle_change, w);
}

void clear_changed_files() {
  changed_files.clear();
  for (DirWatch* w : dir_watches)
    w->everythingChanged = false;
}

// True when `path` lies in a tree whose events overflowed.
static bool in_overflowed_tree(const char* path, bool isDir) {
  for (const DirWatch* w : dir_watches) {
    if (!w->everythingChanged)
      continue;
    DynArray<char> root;
    root_prefix(*w, root);
    int rootLen = root.size();
    size_t pathLen = strlen(path);
    // The path is inside the tree, or (for a folder) the tree is inside it.
    if (strncasecmp(path, root.data, (size_t)rootLen) == 0)
      return true;
    if (isDir && pathLen <= (size_t)rootLen && strncasecmp(root.data, path, pathLen) == 0)
      return true;
  }
  return false;
}

bool was_real_file_changed(const char* path) {
  for (const String& s : changed_files)
    if (strcasecmp(s.c_str(), path) == 0)
      return true;
  return in_overflowed_tree(path, false);
}

bool was_real_dir_changed(const char* path) {
  size_t l = strlen(path);
  if (l == 0)
    return false;
  for (const String& s : changed_files)
    if (strncasecmp(s.c_str(), path, l) == 0)
      return true;
  return in_overflowed_tree(path, true);
}

bool was_physfs_file_changed(const char* path) {
  TempString<260> real = get_real_path(path);
  return !real.isEmpty() && was_real_file_changed(real);
}

bool was_physfs_dir_changed(const char* path) {
  TempString<260> real = get_real_path(path);
  return !real.isEmpty() && was_real_dir_changed(real);
}
