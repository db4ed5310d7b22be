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

// The archive's opaque pointer is the OddLengthArchive; the mounted container's own
// Io is kept so that closing the archive can destroy it.
OddLengthArchive* mounting = nullptr;
PHYSFS_Io* container_io = nullptr;

void* archive_open(PHYSFS_Io* io, const char* name, int for_write, int* claimed) {
  if (for_write || !mounting || strstr(name, ".oddlen") == nullptr)
    return nullptr;
  *claimed = 1;
  container_io = io;
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
void archive_close(void*) {
  if (container_io)
    container_io->destroy(container_io);
  container_io = nullptr;
}

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
  static const char container[1] = {0};
  mounting = &archive;
  bool ok = PHYSFS_mountMemory(container, sizeof(container), nullptr, archive_name, mount_point, 1) != 0;
  mounting = nullptr;
  return ok;
}

void unmount_odd_length_archive() { PHYSFS_unmount(archive_name); }
