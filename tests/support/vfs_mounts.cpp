#include "tests/support/vfs_mounts.h"

#include <physfs.h>

#include <string>
#include <vector>

void unmount_all() {
  // Copy the list first: unmounting changes the search path being walked.
  char** mounts = PHYSFS_getSearchPath();
  std::vector<std::string> all;
  for (char** m = mounts; *m; m++) all.push_back(*m);
  PHYSFS_freeList(mounts);
  for (const std::string& m : all) PHYSFS_unmount(m.c_str());
  PHYSFS_setWriteDir(nullptr);
}

bool mount_game_data(const char* argv0, const char* data_dir) {
  if (!PHYSFS_isInit() && !PHYSFS_init(argv0))
    return false;
  PHYSFS_permitSymbolicLinks(1);
  // With the separator at the end, as the game mounts its folders.
  std::string root = data_dir;
  if (root.empty() || root.back() != '/')
    root += '/';
  return PHYSFS_mount(root.c_str(), nullptr, 1) != 0;
}
