// Byte streams over PhysicsFS and over standard files. Every read and write is
// one library call of n one-byte objects; nothing is buffered here.
#include "engine/core/stream.h"

#include <cstring>

#include "engine/core/vfs.h"

StreamIOException::StreamIOException(const char* text, int32_t pos) : position(pos) {
  size_t l = text ? strlen(text) : 0;
  if (l > sizeof(message) - 1)
    l = sizeof(message) - 1;
  memcpy(message, text ? text : "", l);
  message[l] = 0;
}

// Positions of the libraries are 64-bit; this interface's are 32-bit.
static int32_t cut_position(int64_t pos) { return (int32_t)pos; }

template <class E, class F>
static void require_open(F* file) {
  if (!file)
    throw E("file not opened", -1);
}

template <class E>
static void require_size(int n, const char* message) {
  if (n < 0)
    throw E(message, -1);
}

// ---- PhysicsFS, both directions --------------------------------------------------

template <class E>
static int physfs_length(PHYSFS_File* file) {
  require_open<E>(file);
  return cut_position(PHYSFS_fileLength(file));
}

// `error` names the direction: a read or a write position.
template <class E>
static int physfs_tell(PHYSFS_File* file, const char* error) {
  require_open<E>(file);
  int64_t pos = PHYSFS_tell(file);
  if (pos < 0)
    throw E(error, -1);
  return cut_position(pos);
}

// A refused seek throws with the position the file was left at.
template <class E>
static void physfs_seek(PHYSFS_File* file, int position) {
  require_open<E>(file);
  if (position < 0 || !PHYSFS_seek(file, (PHYSFS_uint64)(int64_t)position))
    throw E("file seek error", cut_position(PHYSFS_tell(file)));
}

// ---- PhysicsFS input -----------------------------------------------------------

bool PhysFSFileInputStream::open(const char* path) {
  close();
  file = PHYSFS_openRead(path);
  return file != nullptr;
}

void PhysFSFileInputStream::close() {
  if (file)
    PHYSFS_close(file);
  file = nullptr;
}

int PhysFSFileInputStream::fileLength() { return physfs_length<Exception>(file); }

int PhysFSFileInputStream::readSome(void* buffer, int n) {
  if (!file || n <= 0)
    return 0;
  int64_t got = vfs_read(file, buffer, 1, (uint32_t)n);
  return got < 0 ? 0 : (int)got;
}

void PhysFSFileInputStream::read(void* buffer, int n) {
  require_open<Exception>(file);
  require_size<Exception>(n, "negative size in read()");
  if (n == 0)
    return;
  if (vfs_read(file, buffer, 1, (uint32_t)n) != n)
    throw Exception("error reading file", cut_position(PHYSFS_tell(file)));
}

int PhysFSFileInputStream::tell() {
  return physfs_tell<Exception>(file, "error getting current read position in file");
}

void PhysFSFileInputStream::seek(int position) { physfs_seek<Exception>(file, position); }

void PhysFSFileInputStream::seekCur(int offset) { seek(tell() + offset); }

void PhysFSFileInputStream::seekEnd(int offset) { seek(physfs_length<Exception>(file) + offset); }

// ---- PhysicsFS output ----------------------------------------------------------

bool PhysFSFileOutputStream::open(const char* path, bool append) {
  close();
  file = append ? PHYSFS_openAppend(path) : PHYSFS_openWrite(path);
  return file != nullptr;
}

bool PhysFSFileOutputStream::close() {
  bool ok = true;
  if (file)
    ok = PHYSFS_close(file) != 0;
  file = nullptr;
  return ok;
}

int PhysFSFileOutputStream::fileLength() { return physfs_length<Exception>(file); }

void PhysFSFileOutputStream::write(const void* buffer, int n) {
  require_open<Exception>(file);
  require_size<Exception>(n, "negative size in write()");
  if (n == 0)
    return;
  if (vfs_write(file, buffer, 1, (uint32_t)n) != n)
    throw Exception("error writing file", cut_position(PHYSFS_tell(file)));
}

int PhysFSFileOutputStream::tell() {
  return physfs_tell<Exception>(file, "error getting current write position in file");
}

void PhysFSFileOutputStream::seek(int position) { physfs_seek<Exception>(file, position); }

void PhysFSFileOutputStream::seekEnd(int offset) { seek(physfs_length<Exception>(file) + offset); }

// ---- standard files ------------------------------------------------------------

// A refused fseek throws with the position the file was left at.
template <class E>
static void std_seek(FILE* file, long offset, int origin) {
  require_open<E>(file);
  if (fseek(file, offset, origin) != 0)
    throw E("file seek error", cut_position(ftell(file)));
}

template <class E>
static int std_tell(FILE* file) {
  require_open<E>(file);
  return cut_position(ftell(file));
}

bool StdFileInputStream::open(const char* path, const char* mode) {
  close();
  file = fopen(path, mode);
  return file != nullptr;
}

void StdFileInputStream::close() {
  if (file)
    fclose(file);
  file = nullptr;
}

int StdFileInputStream::readSome(void* buffer, int n) {
  if (!file || n <= 0)
    return 0;
  return (int)fread(buffer, 1, (size_t)n, file);
}

void StdFileInputStream::read(void* buffer, int n) {
  require_open<Exception>(file);
  require_size<Exception>(n, "negative size in read()");
  if (n == 0)
    return;
  if (fread(buffer, 1, (size_t)n, file) != (size_t)n)
    throw Exception("error reading file", cut_position(ftell(file)));
}

int StdFileInputStream::tell() { return std_tell<Exception>(file); }
void StdFileInputStream::seek(int position) { std_seek<Exception>(file, position, SEEK_SET); }
void StdFileInputStream::seekCur(int offset) { std_seek<Exception>(file, offset, SEEK_CUR); }
void StdFileInputStream::seekEnd(int offset) { std_seek<Exception>(file, offset, SEEK_END); }

bool StdFileOutputStream::open(const char* path, const char* mode) {
  close();
  file = fopen(path, mode);
  return file != nullptr;
}

bool StdFileOutputStream::close() {
  bool ok = true;
  if (file)
    ok = fclose(file) == 0;
  file = nullptr;
  return ok;
}

void StdFileOutputStream::write(const void* buffer, int n) {
  require_open<Exception>(file);
  require_size<Exception>(n, "negative size in write()");
  if (n == 0)
    return;
  if (fwrite(buffer, 1, (size_t)n, file) != (size_t)n)
    throw Exception("error writing file", cut_position(ftell(file)));
}

int StdFileOutputStream::tell() { return std_tell<Exception>(file); }
void StdFileOutputStream::seek(int position) { std_seek<Exception>(file, position, SEEK_SET); }
void StdFileOutputStream::seekEnd(int offset) { std_seek<Exception>(file, offset, SEEK_END); }

// ---- directory lists, lines and whole files -----------------------------------

PhysFSFileList::PhysFSFileList(const char* dir) { start(dir); }

PhysFSFileList::~PhysFSFileList() { release(); }

void PhysFSFileList::release() {
  if (list)
    PHYSFS_freeList(list);
  list = nullptr;
  cursor = 0;
}

const char* PhysFSFileList::start(const char* dir) {
  release();
  if (dir)
    list = vfs_enumerate_files(dir);
  return list ? list[0] : nullptr;
}

const char* PhysFSFileList::next() {
  if (!list || !list[cursor])
    return nullptr;
  cursor++;
  return list[cursor];
}

char* physfs_gets(char* buffer, int size, PHYSFS_File* file) {
  int stored = 0;
  while (stored < size - 1) {
    char c;
    if (vfs_read(file, &c, 1, 1) != 1)
      break;
    buffer[stored++] = c;
    if (c == 0 || c == '\n')
      break;
  }
  buffer[stored] = 0;
  return stored > 0 ? buffer : nullptr;
}

bool load_physfs_file(const char* path, DynArray<unsigned char>& bytes) {
  PHYSFS_File* file = PHYSFS_openRead(path);
  if (!file)
    return false;
  int64_t length = PHYSFS_fileLength(file);
  if (length < 0 || length > INT32_MAX) {
    PHYSFS_close(file);
    return false;
  }
  bytes.resize((int)length);
  int64_t got = vfs_read(file, bytes.data, 1, (uint32_t)length);
  PHYSFS_close(file);
  return got == length;
}

void start_physfs_timing() { physfsPerf.start(); }
void stop_physfs_timing() { physfsPerf.stop(); }
