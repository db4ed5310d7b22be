// Directory watching on inotify and the change queries.
#include "engine/core/watch.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "temp_folder.h"

namespace {

// Polls the watches until `cond` holds; false when it did not within a few
// seconds. Never a timing assertion: only an upper bound on the wait.
bool poll_until(const std::function<bool()>& cond) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    update_file_notify();
    if (cond())
      return true;
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool file_changed(const std::string& path) { return was_real_file_changed(path.c_str()); }
bool dir_changed(const std::string& path) { return was_real_dir_changed(path.c_str()); }

// Appends to a file (creating it), which reports it as written.
void append(const std::string& path, const char* text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, text, strlen(text)), (ssize_t)strlen(text));
  close(fd);
}

class WatchTest : public ::testing::Test {
 protected:
  TempFolder dir;
  std::string root;  // the watched tree, with its trailing '/'

  void SetUp() override {
    init_file_notify();
    root = dir.path + "/";
    watch_real_dir(root.c_str());
  }
  void TearDown() override { close_file_notify(); }
};

TEST_F(WatchTest, SeesEveryKindOfChangeInANewSubFolder) {
  fs::create_directories(root + "new");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "new"); }));
  clear_changed_files();

  append(root + "new/a.txt", "1");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "new/a.txt"); }));
  EXPECT_TRUE(dir_changed(root + "new/"));
  clear_changed_files();
  EXPECT_FALSE(file_changed(root + "new/a.txt"));
  EXPECT_FALSE(dir_changed(root));

  append(root + "new/a.txt", "2");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "new/a.txt"); }));
  clear_changed_files();

  fs::rename(root + "new/a.txt", root + "new/b.txt");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "new/a.txt") && file_changed(root + "new/b.txt"); }));
  clear_changed_files();

  fs::remove(root + "new/b.txt");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "new/b.txt"); }));
  EXPECT_FALSE(file_changed(root + "new/a.txt"));
}

TEST_F(WatchTest, NestedFoldersAndFilesMadeTogetherAreAllSeen) {
  // Made faster than the folder's watch can be added: the scan of the new
  // folder reports what already stands in it.
  fs::create_directories(root + "x/y/z");
  write_file(root + "x/y/z/deep.txt", "d");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "x/y/z/deep.txt"); }));
  clear_changed_files();
  append(root + "x/y/z/deep.txt", "more");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "x/y/z/deep.txt"); }));
}

TEST_F(WatchTest, FolderMovedInIsWatchedAndMovedOutIsForgotten) {
  TempFolder outside;
  fs::create_directories(outside / "moved/inner");
  write_file(outside / "moved/inner/f.txt", "f");
  fs::rename(outside / "moved", root + "moved");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "moved/inner/f.txt"); }));
  clear_changed_files();

  append(root + "moved/inner/g.txt", "g");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "moved/inner/g.txt"); }));

  fs::rename(root + "moved", root + "renamed");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "renamed"); }));
  clear_changed_files();
  append(root + "renamed/inner/h.txt", "h");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "renamed/inner/h.txt"); }));
  EXPECT_FALSE(file_changed(root + "moved/inner/h.txt"));
}

TEST_F(WatchTest, LinkedFoldersAreFollowed) {
  TempFolder target;
  fs::create_directories(target / "sub");
  fs::create_directory_symlink(target.path, root + "linked");
  fs::create_directory_symlink(root, root + "loop");  // a cycle must not hang the walk
  close_file_notify();
  init_file_notify();
  watch_real_dir(root.c_str());

  append(target / "sub/t.txt", "t");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "linked/sub/t.txt"); }));

  // A link made while watching is followed as well.
  TempFolder later;
  fs::create_directory_symlink(later.path, root + "later");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "later"); }));
  append(later / "l.txt", "l");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "later/l.txt"); }));
}

// The game's folder links each file at the top of its data folder: an edit of the file
// the link leads to is a change of the link, whether written in place or saved under
// another name and moved over it, for a link found at the start, inside a linked
// folder, or made while watching.
TEST_F(WatchTest, LinkedFilesReportTheirTargetsChanges) {
  TempFolder data;
  fs::create_directories(data / "sub");
  write_file(data / "top.sh", "1");
  write_file(data / "sub/inner.sh", "1");
  write_file(data / "unlinked.sh", "1");
  fs::create_symlink(data / "top.sh", root + "top.sh");
  fs::create_directories(root + "linked");
  fs::create_directory_symlink(data / "sub", root + "folder");
  fs::create_symlink(data / "sub/inner.sh", root + "linked/inner.sh");
  close_file_notify();
  init_file_notify();
  watch_real_dir(root.c_str());

  struct Case {
    const char* link;    // under the watched tree
    const char* target;  // under the data folder
  } cases[] = {{"top.sh", "top.sh"}, {"linked/inner.sh", "sub/inner.sh"}};
  for (const Case& c : cases) {
    clear_changed_files();
    append(data / c.target, "2");
    EXPECT_TRUE(poll_until([&] { return file_changed(root + c.link); })) << c.link << " written in place";
    clear_changed_files();
    write_file(data / "saving.part", "3");
    fs::rename(data / "saving.part", data / c.target);
    EXPECT_TRUE(poll_until([&] { return file_changed(root + c.link); })) << c.link << " replaced";
  }

  write_file(data / "later.sh", "1");
  fs::create_symlink(data / "later.sh", root + "later.sh");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "later.sh"); }));
  clear_changed_files();
  append(data / "unlinked.sh", "2");
  append(data / "later.sh", "2");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "later.sh"); }));
  EXPECT_FALSE(file_changed(root + "unlinked.sh"));
  EXPECT_FALSE(file_changed(root + "top.sh"));
}

TEST_F(WatchTest, QueriesIgnoreCaseAndListEachPathOnce) {
  append(root + "File.TXT", "1");
  append(root + "File.TXT", "2");
  append(root + "File.TXT", "3");
  append(root + "dirname_sibling.txt", "s");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "dirname_sibling.txt"); }));
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "file.txt"); }));
  int count = 0;
  for (const String& s : changed_files)
    count += strcasecmp(s.c_str(), (root + "file.txt").c_str()) == 0;
  EXPECT_EQ(count, 1);
  EXPECT_EQ(std::string(changed_files[0].c_str()), root + "File.TXT");
  // A plain prefix test: a sibling whose name begins the same counts.
  EXPECT_TRUE(dir_changed(root + "dirname"));
  EXPECT_TRUE(dir_changed(root + "DIRNAME"));
  EXPECT_FALSE(dir_changed(root + "other/"));
  EXPECT_FALSE(dir_changed(""));
  EXPECT_FALSE(file_changed(root + "file"));
}

TEST_F(WatchTest, OneWatchPerPathText) {
  watch_real_dir(root.c_str());
  EXPECT_EQ(dir_watches.size(), 1);
  std::string upper = root;
  for (char& c : upper)
    c = (char)toupper((unsigned char)c);
  watch_real_dir(upper.c_str());  // another text: another watch (that reports nothing here)
  EXPECT_EQ(dir_watches.size(), 2);
  EXPECT_EQ(dir_watches[1]->fd, -1);
  update_file_notify();
}

TEST_F(WatchTest, RootWithoutTrailingSeparatorFormsFullPaths) {
  close_file_notify();
  init_file_notify();
  watch_real_dir(dir.path.c_str());
  append(root + "plain.txt", "p");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "plain.txt"); }));
}

TEST_F(WatchTest, OverflowCountsAsEverythingChanged) {
  TempFolder other;
  watch_real_dir((other.path + "/").c_str());
  fs::create_directories(root + "flood");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "flood"); }));
  clear_changed_files();

  // More events than the kernel queues (16384 by default) before any poll.
  int limit = 16384;
  if (FILE* f = fopen("/proc/sys/fs/inotify/max_queued_events", "r")) {
    if (fscanf(f, "%d", &limit) != 1)
      limit = 16384;
    fclose(f);
  }
  for (int i = 0; i < limit / 2 + 100; i++)
    write_file(root + "flood/f" + std::to_string(i), "x");
  fs::create_directories(root + "flood/late");  // its own event may be lost
  update_file_notify();

  EXPECT_TRUE(file_changed(root + "anything/at/all.txt"));
  EXPECT_TRUE(dir_changed(root + "flood/"));
  EXPECT_TRUE(dir_changed(dir.path));  // the tree lies inside this folder
  EXPECT_FALSE(file_changed(other / "x.txt"));
  EXPECT_FALSE(dir_changed(other.path + "/"));

  clear_changed_files();
  EXPECT_FALSE(file_changed(root + "anything/at/all.txt"));
  // Folders that appeared while events were lost are watched after all.
  append(root + "flood/late/x.txt", "x");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "flood/late/x.txt"); }));
}

TEST_F(WatchTest, MissingFolderReportsNothing) {
  watch_real_dir((dir.path + "/does-not-exist/").c_str());
  EXPECT_EQ(dir_watches.size(), 2);
  update_file_notify();
  EXPECT_EQ(changed_files.size(), 0);
}

TEST(WatchDeathTest, OverlongPathIsFatal) {
  std::string path(260, 'p');
  EXPECT_EXIT(watch_real_dir(path.c_str()), ::testing::ExitedWithCode(100),
              "failed ASSERT\\(strlen\\(path\\)<_MAX_PATH\\)");
}

// The virtual-file-system queries, with the tree mounted as the game mounts it.
class PhysFSWatchTest : public WatchTest {
 protected:
  void SetUp() override {
    WatchTest::SetUp();
    ASSERT_NE(PHYSFS_init(nullptr), 0);
    ASSERT_NE(PHYSFS_mount(root.c_str(), nullptr, 1), 0);
  }
  void TearDown() override {
    PHYSFS_deinit();
    WatchTest::TearDown();
  }
};

TEST_F(PhysFSWatchTest, QueriesByVirtualPath) {
  fs::create_directories(root + "script");
  write_file(root + "script/main.nut", "old");
  ASSERT_TRUE(poll_until([&] { return file_changed(root + "script/main.nut"); }));
  clear_changed_files();

  append(root + "script/main.nut", "new");
  ASSERT_TRUE(poll_until([] { return was_physfs_file_changed("script/main.nut"); }));
  EXPECT_TRUE(was_physfs_dir_changed("script"));
  EXPECT_TRUE(was_physfs_dir_changed("script/"));  // reloaders name folders with the separator
  EXPECT_FALSE(was_physfs_file_changed("script/other.nut"));
  // A folder the virtual file system cannot find did not change, even though
  // something else did.
  EXPECT_FALSE(was_physfs_dir_changed("nowhere"));
  EXPECT_FALSE(was_physfs_file_changed("nowhere/x"));
}

}  // namespace
