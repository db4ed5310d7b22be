// The platform's folder watcher: which changes it reports of a folder, and how, and
// the life of its watches.
#include "platform/win32/dir_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

struct Change {
  int folder;
  uint32_t what;
  std::string name;
  bool operator==(const Change&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Change& c) {
  return out << "{folder " << c.folder << ", what " << c.what << ", \"" << c.name << "\"}";
}

void collect(const DirChange& change, void* context) {
  ((std::vector<Change>*)context)->push_back({change.folder, change.what, change.name});
}

class DirWatcherTest : public ::testing::Test {
 protected:
  TempFolder dir{"torvane-watcher-"};
  int watcher = -1;

  void SetUp() override {
    watcher = open_dir_watcher();
    ASSERT_GE(watcher, 0);
  }
  void TearDown() override { close_dir_watcher(watcher); }

  // Reads until `done` holds for the changes read, or a few seconds have passed: an
  // upper bound on the wait, never a timing assertion.
  std::vector<Change> read_until(const std::function<bool(const std::vector<Change>&)>& done) {
    std::vector<Change> changes;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
      read_dir_changes(watcher, collect, &changes);
      if (done(changes) || std::chrono::steady_clock::now() > deadline)
        return changes;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  std::vector<Change> read(size_t count) {
    return read_until([&](const std::vector<Change>& changes) { return changes.size() >= count; });
  }
};

TEST_F(DirWatcherTest, EachKindOfChangeIsReportedByName) {
  int folder = add_dir_watch(watcher, dir.path.c_str());
  ASSERT_GE(folder, 0);
  fs::create_directory(dir / "old");
  struct Case {
    const char* action;
    std::function<void()> act;
    std::vector<Change> expected;
  };
  const Case cases[] = {
      {"a file made", [&] { close(open((dir / "a.txt").c_str(), O_WRONLY | O_CREAT, 0644)); },
       {{folder, DIR_CHANGE_ADDED, "a.txt"}, {folder, 0, "a.txt"}}},  // made, then closed after writing
      {"a file written", [&] {
         int fd = open((dir / "a.txt").c_str(), O_WRONLY | O_APPEND);
         (void)!write(fd, "x", 1);
         close(fd);
       },
       {{folder, 0, "a.txt"}, {folder, 0, "a.txt"}}},  // modified, closed after writing
      {"a file renamed", [&] { fs::rename(dir / "a.txt", dir / "b.txt"); },
       {{folder, DIR_CHANGE_MOVED_AWAY, "a.txt"}, {folder, DIR_CHANGE_ADDED, "b.txt"}}},
      {"a file deleted", [&] { fs::remove(dir / "b.txt"); }, {{folder, 0, "b.txt"}}},
      {"a folder made", [&] { fs::create_directory(dir / "sub"); },
       {{folder, DIR_CHANGE_ADDED | DIR_CHANGE_IS_FOLDER, "sub"}}},
      {"a folder moved", [&] { fs::rename(dir / "sub", dir / "old/sub"); },
       {{folder, DIR_CHANGE_MOVED_AWAY | DIR_CHANGE_IS_FOLDER, "sub"}}},
  };
  read(0);
  for (const Case& c : cases) {
    c.act();
    EXPECT_EQ(read(c.expected.size()), c.expected) << c.action;
  }
}

TEST_F(DirWatcherTest, WatchesAreOnePerFolderAndEndWithAChangeOfTheirOwn) {
  fs::create_directories(dir / "sub");
  fs::create_directory_symlink(dir / "sub", dir / "link");
  int root = add_dir_watch(watcher, dir.path.c_str());
  int sub = add_dir_watch(watcher, (dir / "sub").c_str());
  ASSERT_GE(root, 0);
  ASSERT_GE(sub, 0);
  EXPECT_NE(sub, root);
  EXPECT_EQ(add_dir_watch(watcher, (dir / "link").c_str()), sub) << "a link is followed to its folder";
  EXPECT_EQ(add_dir_watch(watcher, (dir / "missing").c_str()), -1);

  // Only the folder's own entries: a file in sub is sub's change, not the root's.
  close(open((dir / "sub/f").c_str(), O_WRONLY | O_CREAT, 0644));
  EXPECT_EQ(read(2), (std::vector<Change>{{sub, DIR_CHANGE_ADDED, "f"}, {sub, 0, "f"}}));

  remove_dir_watch(watcher, sub);
  EXPECT_EQ(read(1), (std::vector<Change>{{sub, DIR_CHANGE_FOLDER_GONE, ""}}));
  close(open((dir / "sub/g").c_str(), O_WRONLY | O_CREAT, 0644));
  EXPECT_EQ(read(0), (std::vector<Change>{}));

  // A watched folder deleted: its parent names it, and its own watch ends, in either
  // order.
  int again = add_dir_watch(watcher, (dir / "sub").c_str());
  fs::remove_all(dir / "sub");
  const Change named{root, DIR_CHANGE_IS_FOLDER, "sub"}, ended{again, DIR_CHANGE_FOLDER_GONE, ""};
  auto has = [](const std::vector<Change>& changes, const Change& c) {
    return std::find(changes.begin(), changes.end(), c) != changes.end();
  };
  std::vector<Change> changes = read_until([&](const auto& got) { return has(got, named) && has(got, ended); });
  EXPECT_TRUE(has(changes, named)) << testing::PrintToString(changes);
  EXPECT_TRUE(has(changes, ended)) << testing::PrintToString(changes);
}

TEST(DirWatcher, NothingWaitingReturnsAtOnce) {
  int watcher = open_dir_watcher();
  ASSERT_GE(watcher, 0);
  std::vector<Change> changes;
  read_dir_changes(watcher, collect, &changes);
  EXPECT_TRUE(changes.empty());
  close_dir_watcher(watcher);
  close_dir_watcher(-1);  // a watcher that could not be made closes as nothing
}

}  // namespace
