#include "odd_length_archive.h"

#include <physfs.h>

#include <algorithm>
#include <cstring>

namespace {

const char* const archive_name = "odd_length.oddlen";

struct OpenFile {
  OddLengthArchive* archive;
  uint64_t pos;
};

PHYSFS_sint64 file_read(PHYSFS_Io* io, void* buf, PHYSFS_uint64 len) {
  OpenFile* f = (OpenFile*)io->opaque;
  f->archive->largestReadRequest = std::max(f->archive->largestReadRequest, (uint64_t)len);
  uint64_t size = f->archive->text.size();
  uint64_t n = f->pos < size ? std::min<uint64_t>(len, size - f->pos) : 0;
  memcpy(buf, f->archive->text.data() + f->pos, n);
  f->pos += n;
  return (PHYSFS_sint64)n;
}
PHYSFS_sint64 file_write(PHYSFS_Io*, const void*, PHYSFS_uint64) { return -1; }
int file_seek(PHYSFS_Io* io, PHYSFS_uint64 offset) {
  ((OpenFile*)io->opaque)->pos = offset;
  return 1;
}
PHYSFS_sint64 file_tell(PHYSFS_Io* io) { return (PHYSFS_sint64)((OpenFile*)io->opaque)->pos; }
PHYSFS_sint64 file_length(PHYSFS_Io* io) { return ((OpenFile*)io->opaque)->archive->reportedLength; }
PHYSFS_Io* file_duplicate(PHYSFS_Io*) { return nullptr; }
int file_flush(PHYSFS_Io*) { return 1; }
void file_destroy(PHYSFS_Io* io) {
  delete (OpenFile*)io->opaque;
  delete io;
}

// The archive's opaque pointer is the OddLengthArchive being mounted. The mounted
// container is an empty stream of our own, so the mount allocates nothing of its own.
OddLengthArchive* mounting = nullptr;

PHYSFS_sint64 container_read(PHYSFS_Io*, void*, PHYSFS_uint64) { return 0; }
int container_seek(PHYSFS_Io*, PHYSFS_uint64 offset) { return offset == 0; }
PHYSFS_sint64 container_position(PHYSFS_Io*) { return 0; }  // also its length
void container_destroy(PHYSFS_Io*) {}
PHYSFS_Io container_io = {.version = 0,
                          .opaque = nullptr,
                          .read = container_read,
                          .write = file_write,
                          .seek = container_seek,
                          .tell = container_position,
                          .length = container_position,
                          .duplicate = file_duplicate,
                          .flush = file_flush,
                          .destroy = container_destroy};

void* archive_open(PHYSFS_Io* io, const char* name, int for_write, int* claimed) {
  if (for_write || !mounting || io != &container_io || strstr(name, ".oddlen") == nullptr)
    return nullptr;
  *claimed = 1;
  return mounting;
}
PHYSFS_EnumerateCallbackResult archive_enumerate(void*, const char*, PHYSFS_EnumerateCallback, const char*,
                                                 void*) {
  return PHYSFS_ENUM_OK;
}
PHYSFS_Io* archive_open_read(void* opaque, const char*) {
  PHYSFS_Io* io = new PHYSFS_Io{};
  io->version = 0;
  io->opaque = new OpenFile{(OddLengthArchive*)opaque, 0};
  io->read = file_read;
  io->write = file_write;
  io->seek = file_seek;
  io->tell = file_tell;
  io->length = file_length;
  io->duplicate = file_duplicate;
  io->flush = file_flush;
  io->destroy = file_destroy;
  return io;
}
PHYSFS_Io* archive_open_write(void*, const char*) { return nullptr; }
int archive_remove(void*, const char*) { return 0; }
int archive_mkdir(void*, const char*) { return 0; }
int archive_stat(void* opaque, const char*, PHYSFS_Stat* st) {
  memset(st, 0, sizeof(*st));
  st->filesize = ((OddLengthArchive*)opaque)->reportedLength;
  st->filetype = PHYSFS_FILETYPE_REGULAR;
  st->readonly = 1;
  return 1;
}
void archive_close(void*) {}

const PHYSFS_Archiver odd_length_archiver = {
    0,
    {"ODDLEN", "files whose length is not what they hold", "tests", "", 0},
    archive_open,
    archive_enumerate,
    archive_open_read,
    archive_open_write,
    archive_open_write,
    archive_remove,
    archive_mkdir,
    archive_stat,
    archive_close,
};

}  // namespace

bool mount_odd_length_archive(OddLengthArchive& archive, const char* mount_point) {
  static bool registered = false;
  if (!registered)
    registered = PHYSFS_registerArchiver(&odd_length_archiver) != 0;
  if (!registered)
    return false;
  mounting = &archive;
  bool ok = PHYSFS_mountIo(&container_io, archive_name, mount_point, 1) != 0;
  mounting = nullptr;
  return ok;
}

bool unmount_odd_length_archive() { return PHYSFS_unmount(archive_name) != 0; }
