// Byte streams over the virtual file system and over standard files.
#include "engine/core/stream.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/vfs.h"
#include "temp_folder.h"

namespace {

// Runs `op` and returns the exception it threw; fails when it threw none.
template <class E>
E caught(const std::function<void()>& op) {
  try {
    op();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "no exception";
  return E("", 0);
}

// The two stream pairs behind one interface, so every behaviour is checked on both.
struct PhysFSPair {
  using In = PhysFSFileInputStream;
  using Out = PhysFSFileOutputStream;
  static void open(In& s, const std::string& p) { s.open(p.c_str()); }
  static void open(Out& s, const std::string& p) { s.open(p.c_str(), false); }
  static std::string at(const TempFolder&, const char* rel) { return rel; }
};

struct StdPair {
  using In = StdFileInputStream;
  using Out = StdFileOutputStream;
  static void open(In& s, const std::string& p) { s.open(p.c_str(), "rb"); }
  static void open(Out& s, const std::string& p) { s.open(p.c_str(), "wb"); }
  static std::string at(const TempFolder& dir, const char* rel) { return dir / rel; }
};

template <class Pair>
class StreamPairTest : public VfsTest {
 protected:
  using In = typename Pair::In;
  using Out = typename Pair::Out;
  void openIn(In& s, const char* rel) { Pair::open(s, Pair::at(dir, rel)); }
  void openOut(Out& s, const char* rel) { Pair::open(s, Pair::at(dir, rel)); }
};

using Pairs = ::testing::Types<PhysFSPair, StdPair>;
TYPED_TEST_SUITE(StreamPairTest, Pairs);

TYPED_TEST(StreamPairTest, UnopenedStreamsThrowFileNotOpened) {
  typename TestFixture::In in;
  this->openIn(in, "missing.bin");
  EXPECT_FALSE(in.isOpen());
  char buf[4];
  EXPECT_EQ(in.readSome(buf, 4), 0);
  const std::vector<std::function<void()>> inputOps = {
      [&] { in.read(buf, 4); }, [&] { in.tell(); },      [&] { in.seek(0); },
      [&] { in.seekCur(1); },   [&] { in.seekEnd(0); },
  };
  for (size_t i = 0; i < inputOps.size(); i++) {
    InputStream::Exception e = caught<InputStream::Exception>(inputOps[i]);
    EXPECT_STREQ(e.message, "file not opened") << "input op " << i;
    EXPECT_EQ(e.position, -1) << "input op " << i;
  }

  typename TestFixture::Out out;
  this->openOut(out, "no/such/folder/out.bin");
  EXPECT_FALSE(out.isOpen());
  const std::vector<std::function<void()>> outputOps = {
      [&] { out.write("x", 1); }, [&] { out.tell(); }, [&] { out.seek(0); }, [&] { out.seekEnd(0); },
  };
  for (size_t i = 0; i < outputOps.size(); i++) {
    OutputStream::Exception e = caught<OutputStream::Exception>(outputOps[i]);
    EXPECT_STREQ(e.message, "file not opened") << "output op " << i;
    EXPECT_EQ(e.position, -1) << "output op " << i;
  }
}

TYPED_TEST(StreamPairTest, WritesAndReadsBackWithSeeks) {
  {
    typename TestFixture::Out out;
    this->openOut(out, "data.bin");
    ASSERT_TRUE(out.isOpen());
    out.write("0123456789", 10);
    out.write("", 0);
    EXPECT_EQ(out.tell(), 10);
    out.seek(2);
    out.write("ab", 2);
    out.seekEnd(0);
    out.write("XY", 2);
  }
  EXPECT_EQ(read_file(this->dir / "data.bin"), "01ab456789XY");

  typename TestFixture::In in;
  this->openIn(in, "data.bin");
  ASSERT_TRUE(in.isOpen());
  char buf[16] = {};
  in.read(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "01ab");
  EXPECT_EQ(in.tell(), 4);
  in.seekCur(2);
  in.read(buf, 2);
  EXPECT_EQ(std::string(buf, 2), "67");
  in.seekCur(-8);
  EXPECT_EQ(in.tell(), 0);
  in.seekEnd(-2);
  in.read(buf, 2);
  EXPECT_EQ(std::string(buf, 2), "XY");
  in.seek(10);
  EXPECT_EQ(in.readSome(buf, 16), 2);
  EXPECT_EQ(in.readSome(buf, 0), 0);
  EXPECT_EQ(in.readSome(buf, -1), 0);
}

TYPED_TEST(StreamPairTest, FailuresCarryMessageAndPosition) {
  write_file(this->dir / "short.bin", "abcdef");
  typename TestFixture::In in;
  this->openIn(in, "short.bin");
  char buf[16];
  in.read(buf, 0);  // nothing, no failure
  in.seek(2);
  InputStream::Exception e = caught<InputStream::Exception>([&] { in.read(buf, 10); });
  EXPECT_STREQ(e.message, "error reading file");
  EXPECT_EQ(e.position, 6);  // after the 4 bytes that were there

  // A negative size is refused before anything else, even at the end.
  e = caught<InputStream::Exception>([&] { in.read(buf, -1); });
  EXPECT_STREQ(e.message, "negative size in read()");
  EXPECT_EQ(e.position, -1);

  in.seek(3);
  e = caught<InputStream::Exception>([&] { in.seek(-1); });
  EXPECT_STREQ(e.message, "file seek error");
  EXPECT_EQ(e.position, 3);  // the stream stays where it was, and usable
  in.read(buf, 3);
  EXPECT_EQ(std::string(buf, 3), "def");

  typename TestFixture::Out out;
  this->openOut(out, "out.bin");
  OutputStream::Exception oe = caught<OutputStream::Exception>([&] { out.write("x", -5); });
  EXPECT_STREQ(oe.message, "negative size in write()");
  EXPECT_EQ(oe.position, -1);
}

TEST(StreamException, MessageIsCutAt511Characters) {
  std::string longText(600, 'm');
  StreamIOException e(longText.c_str(), 42);
  EXPECT_EQ(strlen(e.message), 511u);
  EXPECT_EQ(e.position, 42);
  StreamIOException empty(nullptr, -1);
  EXPECT_STREQ(empty.message, "");
}

TEST(StreamException, EachSideThrowsItsOwnTypeCatchableAsTheBase) {
  PhysFSFileInputStream in;  // no file, no library needed
  bool caughtAsBase = false, caughtAsOutput = false;
  try {
    try {
      in.tell();
    } catch (const OutputStream::Exception&) {
      caughtAsOutput = true;
    }
  } catch (const StreamIOException& e) {
    caughtAsBase = strcmp(e.message, "file not opened") == 0;
  }
  EXPECT_TRUE(caughtAsBase);
  EXPECT_FALSE(caughtAsOutput);
}

using PhysFSStreamTest = VfsTest;

TEST_F(PhysFSStreamTest, SeekCurWithoutFileFailsInItsTell) {
  PhysFSFileInputStream in;
  InputStream::Exception e = caught<InputStream::Exception>([&] { in.seekCur(3); });
  EXPECT_STREQ(e.message, "file not opened");
  EXPECT_EQ(e.position, -1);
}

TEST_F(PhysFSStreamTest, OpenReopensAndCloseIsHarmless) {
  write_file(dir / "a.txt", "AAA");
  write_file(dir / "b.txt", "BB");
  PhysFSFileInputStream in("a.txt");
  EXPECT_EQ(in.fileLength(), 3);
  EXPECT_TRUE(in.open("b.txt"));
  EXPECT_EQ(in.fileLength(), 2);
  EXPECT_FALSE(in.open("c.txt"));
  EXPECT_FALSE(in.isOpen());
  in.close();
  in.close();
}

TEST_F(PhysFSStreamTest, AppendModeAndAdoptedHandle) {
  { PhysFSFileOutputStream out("log.txt", false); out.write("one", 3); }
  { PhysFSFileOutputStream out("log.txt", true); out.write("two", 3); }
  { PhysFSFileOutputStream out(PHYSFS_openAppend("log.txt")); out.write("3", 1); EXPECT_EQ(out.fileLength(), 7); }
  EXPECT_EQ(read_file(dir / "log.txt"), "onetwo3");
}

TEST_F(PhysFSStreamTest, WriteFailureReportsPositionAfterTheWrite) {
  PhysFSFileOutputStream out("big.bin", false);
  ASSERT_TRUE(out.isOpen());
  FileSizeLimit limit(8);
  OutputStream::Exception e = caught<OutputStream::Exception>([&] { out.write("0123456789abcdef", 16); });
  EXPECT_STREQ(e.message, "error writing file");
  EXPECT_EQ(e.position, 8);
}

TEST_F(PhysFSStreamTest, LineReader) {
  write_file(dir / "lines.txt", std::string("first\nsecond\n\nab", 16));
  PHYSFS_File* f = PHYSFS_openRead("lines.txt");
  ASSERT_NE(f, nullptr);
  char buf[8];
  // Size 1: nothing stored, the terminator written, null returned.
  buf[0] = 'x';
  EXPECT_EQ(physfs_gets(buf, 1, f), nullptr);
  EXPECT_EQ(buf[0], 0);
  const char* expected[] = {"first\n", "second\n", "\n", "ab"};
  for (const char* line : expected) {
    ASSERT_EQ(physfs_gets(buf, sizeof(buf), f), buf);
    EXPECT_STREQ(buf, line);
  }
  EXPECT_EQ(physfs_gets(buf, sizeof(buf), f), nullptr);
  PHYSFS_close(f);

  // A line longer than the buffer comes in pieces of size - 1 bytes.
  write_file(dir / "long.txt", "abcdefghij\n");
  f = PHYSFS_openRead("long.txt");
  EXPECT_STREQ(physfs_gets(buf, 5, f), "abcd");
  EXPECT_STREQ(physfs_gets(buf, 5, f), "efgh");
  EXPECT_STREQ(physfs_gets(buf, 5, f), "ij\n");
  PHYSFS_close(f);
}

TEST_F(PhysFSStreamTest, LoadWholeFile) {
  write_file(dir / "blob.bin", std::string("x\0y\nz", 5));
  DynArray<unsigned char> bytes;
  ASSERT_TRUE(load_physfs_file("blob.bin", bytes));
  EXPECT_EQ(std::string((const char*)bytes.data, bytes.size()), std::string("x\0y\nz", 5));
  write_file(dir / "empty.bin", "");
  EXPECT_TRUE(load_physfs_file("empty.bin", bytes));
  EXPECT_EQ(bytes.size(), 0);
  EXPECT_FALSE(load_physfs_file("nothing.bin", bytes));
}

TEST_F(PhysFSStreamTest, FileListEnumeratesADirectory) {
  fs::create_directories(dir / "sub");
  write_file(dir / "sub/one", "1");
  write_file(dir / "sub/two", "2");
  PhysFSFileList list;
  std::vector<std::string> names;
  for (const char* n = list.start("sub"); n; n = list.next())
    names.push_back(n);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(list.next(), nullptr);
  EXPECT_EQ(list.start("no-such-dir"), nullptr);
  EXPECT_EQ(list.start(nullptr), nullptr);
  fs::create_directories(dir / "emptydir");
  EXPECT_EQ(list.start("emptydir"), nullptr);
}

// The game's folder links data/'s folders: a folder reached through a symbolic link is
// a directory and lists its names (merged with a real folder of the same name in
// another mounted folder), as long as symbolic links are permitted.
TEST_F(PhysFSStreamTest, FileListFollowsALinkedFolder) {
  TempFolder data("torvane-linked-");
  fs::create_directories(data / "tiles/sub");
  write_file(data / "tiles/b.png", "b");
  write_file(data / "tiles/a.png", "a");
  fs::create_symlink(data / "tiles", dir / "tiles");
  TempFolder user("torvane-user-");
  fs::create_directories(user / "tiles");
  write_file(user / "tiles/a.png", "mine");
  write_file(user / "tiles/c.png", "c");
  ASSERT_NE(PHYSFS_mount(user.path.c_str(), nullptr, 0), 0);

  auto list_of = [](const char* path) {
    std::vector<std::string> names;
    PhysFSFileList list;
    for (const char* n = list.start(path); n; n = list.next())
      names.push_back(n);
    return names;
  };
  PHYSFS_permitSymbolicLinks(1);
  EXPECT_TRUE(vfs_is_directory("tiles"));
  EXPECT_TRUE(vfs_is_directory("tiles/sub"));
  EXPECT_EQ(list_of("tiles"), (std::vector<std::string>{"a.png", "b.png", "c.png", "sub"}));
  EXPECT_EQ(list_of("tiles/"), (std::vector<std::string>{"a.png", "b.png", "c.png", "sub"}));
  EXPECT_FALSE(vfs_is_directory("tiles/a.png"));

  PHYSFS_permitSymbolicLinks(0);
  EXPECT_EQ(list_of("tiles"), (std::vector<std::string>{"a.png", "c.png"})) << "only the user's real folder";
  PHYSFS_permitSymbolicLinks(1);
  ASSERT_NE(PHYSFS_unmount(user.path.c_str()), 0);
  EXPECT_EQ(list_of("tiles"), (std::vector<std::string>{"a.png", "b.png", "sub"}));
}

// The game's folder links the files at the top of data/: a link's time is the time of
// the file it leads to, which an edit of that file changes.
TEST_F(PhysFSStreamTest, LinkedFileHasItsTargetsTime) {
  TempFolder data("torvane-linked-");
  write_file(data / "shader.sh", "1");
  fs::create_symlink(data / "shader.sh", dir / "shader.sh");
  write_file(dir / "plain.sh", "2");
  PHYSFS_permitSymbolicLinks(1);
  for (long when : {1000000000L, 1500000000L}) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (data / "shader.sh").c_str(), times, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "plain.sh").c_str(), times, 0), 0);
    EXPECT_EQ(vfs_last_mod_time("shader.sh"), when);
    EXPECT_EQ(vfs_last_mod_time("plain.sh"), when);
  }
  EXPECT_EQ(vfs_last_mod_time("missing.sh"), -1);
}

TEST(PhysFSTiming, TrackerRegistersOnlyWhenStarted) {
  EXPECT_STREQ(physfsPerf.name, "physfs timing");
  EXPECT_EQ(physfsPerf.id, -1);
  start_physfs_timing();
  stop_physfs_timing();
  EXPECT_GE(physfsPerf.id, 0);
  EXPECT_EQ(update_stats_trackers[physfsPerf.id], &physfsPerf);
}

}  // namespace
