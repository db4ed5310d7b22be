#pragma once
// The one place that calls PhysicsFS's 2.0-era functions which PhysicsFS 3.0
// deprecates: each wrapper gives the old call's meaning through the current API,
// so the rest of the engine never sees a deprecation warning.
#include <physfs.h>

#include <cstdint>

// PHYSFS_read / PHYSFS_write: `count` objects of `objSize` bytes; the number of
// whole objects transferred, -1 on error.
int64_t vfs_read(PHYSFS_File* file, void* buffer, uint32_t objSize, uint32_t count);
int64_t vfs_write(PHYSFS_File* file, const void* buffer, uint32_t objSize, uint32_t count);
// PHYSFS_isDirectory: true when the path names a directory of the search path. A
// symbolic link to a directory counts while symbolic links are permitted (PhysicsFS
// 3.0 itself reports the link, not its target).
bool vfs_is_directory(const char* path);
// PHYSFS_enumerateFiles, sorted, also listing directories reached through a symbolic
// link of a folder mounted at the root (PhysicsFS 3.0 lists nothing for those: the
// game's folder links data/'s folders). Free the list with PHYSFS_freeList; null
// when no list could be made.
char** vfs_enumerate_files(const char* dir);
// PHYSFS_isSymbolicLink.
bool vfs_is_symbolic_link(const char* path);
// PHYSFS_getLastModTime: seconds since 1970, -1 when unknown. For a symbolic link, the
// time of the file it leads to.
int64_t vfs_last_mod_time(const char* path);
// PHYSFS_getLastError: the text of the last error of this thread, null when none;
// the error state is cleared.
const char* vfs_last_error();
