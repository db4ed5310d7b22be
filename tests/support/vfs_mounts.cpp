#include "vfs_mounts.h"

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
