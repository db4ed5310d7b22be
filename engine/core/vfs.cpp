// PhysicsFS 3.0 forms of the deprecated 2.0-era calls.
#include "engine/core/vfs.h"

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
  return PHYSFS_stat(path, &st) != 0 && st.filetype == PHYSFS_FILETYPE_DIRECTORY;
}

bool vfs_is_symbolic_link(const char* path) {
  PHYSFS_Stat st;
  return PHYSFS_stat(path, &st) != 0 && st.filetype == PHYSFS_FILETYPE_SYMLINK;
}

int64_t vfs_last_mod_time(const char* path) {
  PHYSFS_Stat st;
  return PHYSFS_stat(path, &st) != 0 ? st.modtime : -1;
}

const char* vfs_last_error() {
  PHYSFS_ErrorCode code = PHYSFS_getLastErrorCode();
  return code == PHYSFS_ERR_OK ? nullptr : PHYSFS_getErrorByCode(code);
}
