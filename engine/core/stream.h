#pragma once
// Byte streams: InputStream and OutputStream, one pair over the virtual file
// system (PhysicsFS) and one pair over standard files. Construction, open and
// close never throw; a stream whose file failed to open holds no file and every
// read, write, tell or seek on it throws "file not opened". Other failures throw
// the stream's exception with a message and the file position.
//
// Positions and sizes are 32-bit signed; files of 2 GB and more are outside
// this interface's range.
#include <physfs.h>

#include <cstdint>
#include <cstdio>

#include "engine/core/dynarray.h"
#include "engine/core/stats.h"

// A plain record, copied byte for byte when thrown.
struct StreamIOException {
  char message[512];  // cut at 511 characters
  int32_t position;   // -1 when there is none

  StreamIOException(const char* text, int32_t pos);
};

class InputStream {
 public:
  struct Exception : StreamIOException {
    using StreamIOException::StreamIOException;
  };

  // 0..n bytes; 0 when no file is open, n <= 0 or the library reports an error.
  // Never throws.
  virtual int readSome(void* buffer, int n) = 0;
  // Exactly n bytes or throws.
  virtual void read(void* buffer, int n) = 0;
  virtual int tell() = 0;
  virtual void seek(int position) = 0;
  virtual void seekCur(int offset) = 0;
  // Moves to the file's length plus offset.
  virtual void seekEnd(int offset) = 0;

 protected:
  ~InputStream() = default;  // streams are owned by their concrete type
};

class OutputStream {
 public:
  struct Exception : StreamIOException {
    using StreamIOException::StreamIOException;
  };

  // Exactly n bytes or throws.
  virtual void write(const void* buffer, int n) = 0;
  virtual int tell() = 0;
  virtual void seek(int position) = 0;
  virtual void seekEnd(int offset) = 0;

 protected:
  ~OutputStream() = default;
};

class PhysFSFileInputStream : public InputStream {
 public:
  PhysFSFileInputStream() = default;
  explicit PhysFSFileInputStream(const char* path) { open(path); }
  ~PhysFSFileInputStream() { close(); }
  PhysFSFileInputStream(const PhysFSFileInputStream&) = delete;
  PhysFSFileInputStream& operator=(const PhysFSFileInputStream&) = delete;

  // Closes any open file, then opens `path` for reading; true when open.
  bool open(const char* path);
  void close();
  bool isOpen() const { return file != nullptr; }
  // PHYSFS_fileLength of the open file; the stream must hold a file.
  int fileLength();

  int readSome(void* buffer, int n) override;
  void read(void* buffer, int n) override;
  int tell() override;
  void seek(int position) override;
  void seekCur(int offset) override;
  void seekEnd(int offset) override;

  PHYSFS_File* file = nullptr;
};

class PhysFSFileOutputStream : public OutputStream {
 public:
  PhysFSFileOutputStream() = default;
  PhysFSFileOutputStream(const char* path, bool append) { open(path, append); }
  // Adopts an open handle; the stream closes it.
  explicit PhysFSFileOutputStream(PHYSFS_File* handle) : file(handle) {}
  ~PhysFSFileOutputStream() { close(); }
  PhysFSFileOutputStream(const PhysFSFileOutputStream&) = delete;
  PhysFSFileOutputStream& operator=(const PhysFSFileOutputStream&) = delete;

  // Closes any open file, then opens `path` for writing or appending.
  bool open(const char* path, bool append);
  // Closes the file; false when the library could not flush and close it (the
  // handle is released all the same).
  bool close();
  bool isOpen() const { return file != nullptr; }
  int fileLength();

  void write(const void* buffer, int n) override;
  int tell() override;
  void seek(int position) override;
  void seekEnd(int offset) override;

  PHYSFS_File* file = nullptr;
};

class StdFileInputStream : public InputStream {
 public:
  StdFileInputStream() = default;
  StdFileInputStream(const char* path, const char* mode) { open(path, mode); }
  ~StdFileInputStream() { close(); }
  StdFileInputStream(const StdFileInputStream&) = delete;
  StdFileInputStream& operator=(const StdFileInputStream&) = delete;

  bool open(const char* path, const char* mode);
  void close();
  bool isOpen() const { return file != nullptr; }

  int readSome(void* buffer, int n) override;
  void read(void* buffer, int n) override;
  // ftell's result, -1 included.
  int tell() override;
  void seek(int position) override;
  void seekCur(int offset) override;
  void seekEnd(int offset) override;

  FILE* file = nullptr;
};

class StdFileOutputStream : public OutputStream {
 public:
  StdFileOutputStream() = default;
  StdFileOutputStream(const char* path, const char* mode) { open(path, mode); }
  ~StdFileOutputStream() { close(); }
  StdFileOutputStream(const StdFileOutputStream&) = delete;
  StdFileOutputStream& operator=(const StdFileOutputStream&) = delete;

  bool open(const char* path, const char* mode);
  // False when the buffered data could not be written out.
  bool close();
  bool isOpen() const { return file != nullptr; }

  void write(const void* buffer, int n) override;
  int tell() override;
  void seek(int position) override;
  void seekEnd(int offset) override;

  FILE* file = nullptr;
};

// The names of one virtual-file-system directory.
class PhysFSFileList {
 public:
  PhysFSFileList() = default;
  // Enumerates `dir` (null gives an empty list).
  explicit PhysFSFileList(const char* dir);
  ~PhysFSFileList();
  PhysFSFileList(const PhysFSFileList&) = delete;
  PhysFSFileList& operator=(const PhysFSFileList&) = delete;

  // Enumerates `dir` and returns its first name; null when the directory gives
  // no list or an empty one.
  const char* start(const char* dir);
  // The next name, null after the last.
  const char* next();

 private:
  void release();
  char** list = nullptr;
  int cursor = 0;
};

// The next line of `file` into buffer (LF kept, NUL-terminated, at most size - 1
// bytes); null when nothing was read. One library call per byte: short
// description files only.
char* physfs_gets(char* buffer, int size, PHYSFS_File* file);
// The whole file into `bytes` (no terminator added); true when all of it was read.
bool load_physfs_file(const char* path, DynArray<unsigned char>& bytes);

// The "physfs timing" tracker: a stopwatch for virtual-file-system work.
extern UpdateStatsTracker physfsPerf;
void start_physfs_timing();
void stop_physfs_timing();
