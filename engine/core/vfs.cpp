// PhysicsFS 3.0 forms of the deprecated 2.0-era calls.
#include "engine/core/vfs.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The native path of `path` in a search-path folder mounted at the root, when it is a
// symbolic link there; empty otherwise.
std::string linked_native_path(const char* search_dir, const char* path) {
  const char* mount = PHYSFS_getMountPoint(search_dir);
  if (!mount || strcmp(mount, "/") != 0)
    return std::string();
  std::string native = search_dir;
  if (native.empty() || native.back() != '/')
    native += '/';
  native += path;
  while (native.size() > 1 && native.back() == '/')
    native.pop_back();
  struct stat st;
  if (lstat(native.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
    return std::string();
  return native;
}

bool native_is_directory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls visit with the native path of each linked folder that `dir` reaches.
template <class F>
void for_each_linked_dir(const char* dir, F&& visit) {
  if (!PHYSFS_symbolicLinksPermitted())
    return;
  char** search = PHYSFS_getSearchPath();
  for (char** s = search; s && *s; s++) {
    std::string native = linked_native_path(*s, dir);
    if (!native.empty() && native_is_directory(native))
      visit(native);
  }
  PHYSFS_freeList(search);
}

int compare_names(const void* a, const void* b) { return strcmp(*(char* const*)a, *(char* const*)b); }

}  // namespace

int64_t vfs_read(PHYSFS_File* file, void* buffer, uint32_t objSize, uint32_t count) {
  if (objSize == 0 || count == 0)
    return 0;
  PHYSFS_sint64 got = PHYSFS_readBytes(file, buffer, (PHYSFS_uint64)objSize * count);
  return got < 0 ? -1 : got / objSize;
}

int64_t vfs_write(PHYSFS_File* file, const void* buffer, uint32_t objSize, uint32_t count) {
  if (objSize == 0 || count == 0)
    return 0;
  PHYSFS_sint64 put = PHYSFS_writeBytes(file, buffer, (PHYSFS_uint64)objSize * count);
  return put < 0 ? -1 : put / objSize;
}

bool vfs_is_directory(const char* path) {
  PHYSFS_Stat st;
  if (PHYSFS_stat(path, &st) == 0)
    return false;
  if (st.filetype == PHYSFS_FILETYPE_DIRECTORY)
    return true;
  bool linked = false;
  if (st.filetype == PHYSFS_FILETYPE_SYMLINK)
    for_each_linked_dir(path, [&](const std::string&) { linked = true; });
  return linked;
}

char** vfs_enumerate_files(const char* dir) {
  char** listed = PHYSFS_enumerateFiles(dir);
  std::vector<std::string> names;
  for (char** n = listed; n && *n; n++)
    names.push_back(*n);
  PHYSFS_freeList(listed);
  for_each_linked_dir(dir, [&](const std::string& native) {
    DIR* d = opendir(native.c_str());
    if (!d)
      return;
    while (dirent* e = readdir(d))
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
        names.push_back(e->d_name);
    closedir(d);
  });

  // Allocated as PhysicsFS allocates its lists, so that PHYSFS_freeList frees it.
  const PHYSFS_Allocator* a = PHYSFS_getAllocator();
  if (!a)
    return nullptr;
  auto** list = (char**)a->Malloc((names.size() + 1) * sizeof(char*));
  if (!list)
    return nullptr;
  size_t count = 0;
  for (const std::string& name : names) {
    auto* copy = (char*)a->Malloc(name.size() + 1);
    if (!copy)
      continue;
    memcpy(copy, name.c_str(), name.size() + 1);
    list[count++] = copy;
  }
  qsort(list, count, sizeof(char*), compare_names);
  // A name found in several folders is listed once.
  size_t kept = 0;
  for (size_t i = 0; i < count; i++) {
    if (kept > 0 && strcmp(list[kept - 1], list[i]) == 0) {
      a->Free(list[i]);
      continue;
    }
    list[kept++] = list[i];
  }
  list[kept] = nullptr;
  return list;
}

bool vfs_is_symbolic_link(const char* path) {
  PHYSFS_Stat st;
  return PHYSFS_stat(path, &st) != 0 && st.filetype == PHYSFS_FILETYPE_SYMLINK;
}

int64_t vfs_last_mod_time(const char* path) {
  PHYSFS_Stat st;
  if (PHYSFS_stat(path, &st) == 0)
    return -1;
  if (st.filetype != PHYSFS_FILETYPE_SYMLINK)
    return st.modtime;
  // The virtual file system gives a link's own time, which an edit of the file it leads
  // to never changes: the file's time, as its reader sees the file.
  const char* dir = PHYSFS_getRealDir(path);
  if (!dir)
    return st.modtime;
  std::string native = dir;
  if (native.empty() || native.back() != '/')
    native += '/';
  native += path;
  struct stat target;
  return stat(native.c_str(), &target) == 0 ? (int64_t)target.st_mtime : st.modtime;
}

const char* vfs_last_error() {
  PHYSFS_ErrorCode code = PHYSFS_getLastErrorCode();
  return code == PHYSFS_ERR_OK ? nullptr : PHYSFS_getErrorByCode(code);
}
