#include "bench_device.h"

#include <physfs.h>

#include <cstdlib>
#include <string>

#include "engine/render/d3d_device.h"
#include "engine/render/dynVBWriter.h"

bool start_bench_device(int w, int h, std::initializer_list<const char*> more_folders) {
  if (!PHYSFS_isInit() && !PHYSFS_init(nullptr)) return false;
  const char* src = getenv("TORVANE_SOURCE_DIR");
  std::string root = src ? src : BENCH_SOURCE_DIR;
  std::string home = std::string(getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "/tmp") + "/";
  PHYSFS_setWriteDir(home.c_str());
  PHYSFS_mount(home.c_str(), nullptr, 1);
  PHYSFS_mount((root + "/data/").c_str(), nullptr, 1);
  for (const char* folder : more_folders) PHYSFS_mount((root + "/" + folder + "/").c_str(), nullptr, 1);
  if (!init_d3d(nullptr, w, h)) return false;
  common_vb_writer.create(65536, 4);
  return true;
}
