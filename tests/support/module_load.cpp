#include "module_load.h"

#include <physfs.h>

#include <cstdio>
#include <string>

#include "engine/core/utils.h"
#include "engine/gen/level_tiles.h"
#include "engine/world/gameobj_host.h"

void load_module_and_tiles(const char* program, const char* bin_dir, const char* data_dir) {
  snprintf(app_path, sizeof(app_path), "%s", bin_dir);
  PHYSFS_init(program);
  PHYSFS_permitSymbolicLinks(1);
  PHYSFS_mount((std::string(data_dir) + "/").c_str(), nullptr, 1);
  if (!load_gameobj_dll("gameobj.so"))
    fprintf(stderr, "cannot load %sgameobj.so\n", bin_dir);
  load_level_tiles();
}
