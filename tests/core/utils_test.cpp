// Platform utilities: clock conversions, program path, per-user folders, full
// paths, real paths through the virtual file system, file times, pipes,
// libraries, shell execution and the absent GPU-activity library.
#include "engine/core/utils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <physfs.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <utime.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <thread>

#include "child_process.h"
#include "engine/core/user_folder_check.h"
#include "platform/win32/dynamic_library.h"
#include "platform/win32/gpu_activity.h"
#include "platform/win32/main_window.h"
#include "platform/win32/pipe_peek.h"
#include "platform/win32/program_path.h"
#include "platform/win32/shell_execute.h"
#include "platform/win32/user_folder.h"

namespace {

namespace fs = std::filesystem;

// Sets an environment variable for one scope.
struct ScopedEnv {
  std::string name;
  std::string old;
  bool had;
  ScopedEnv(const char* n, const char* value) : name(n) {
    const char* v = getenv(n);
    had = v != nullptr;
    if (had)
      old = v;
    if (value)
      setenv(n, value, 1);
    else
      unsetenv(n);
  }
  ~ScopedEnv() {
    if (had)
      setenv(name.c_str(), old.c_str(), 1);
    else
      unsetenv(name.c_str());
  }
};

struct ScopedAppPath {
  char old[260];
  explicit ScopedAppPath(const char* path) {
    memcpy(old, app_path, sizeof(old));
    snprintf(app_path, sizeof(app_path), "%s", path);
  }
  ~ScopedAppPath() { memcpy(app_path, old, sizeof(old)); }
};

TEST(Clock, ConversionsTruncate) {
  init_time();
  int64_t f = time_ticks_per_sec();
  ASSERT_EQ(f, 1000000000);
  EXPECT_EQ(get_time_msec(f), 1000);
  EXPECT_EQ(get_time_msec(f - 1), 999);
  EXPECT_EQ(get_time_usec(f), 1000000);
  EXPECT_EQ(get_time_usec(f - 1), 999999);
  EXPECT_EQ(msec_to_ticks(0), 0);
  EXPECT_EQ(msec_to_ticks(-1), -f / 1000);
  EXPECT_EQ(msec_to_ticks(1500), f * 3 / 2);
  EXPECT_FLOAT_EQ(get_time_sec(f * 3 / 2), 1.5f);
}

TEST(Clock, LongRunsDoNotOverflow) {
  init_time();
  int64_t f = time_ticks_per_sec();
  // Ten days of ticks: the products with a million overflow 64 bits.
  int64_t ten_days = f * 3600 * 24 * 10;
  EXPECT_EQ(get_time_usec(ten_days), 864000000000LL);
  EXPECT_EQ(get_time_usec(ten_days + 999), 864000000000LL);
  EXPECT_EQ(get_time_msec(f * 3600 * 24 * 20), 1728000000);
  EXPECT_EQ(msec_to_ticks(2000000000), (int64_t)2000000000 * (f / 1000));
}

TEST(Clock, ReadingsAdvance) {
  init_time();
  int64_t a = get_time_since_start();
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  int64_t b = get_time_since_start();
  EXPECT_GE(a, 0);
  EXPECT_GE(get_time_msec(b - a), 5);
  EXPECT_GT(get_ref_time(), b);
}

TEST(Paths, ExePathAndTruncation) {
  char name[260], folder[260];
  ASSERT_TRUE(get_exe_filename(name, sizeof(name)));
  EXPECT_EQ(fs::path(name), fs::canonical("/proc/self/exe"));
  ASSERT_TRUE(get_exe_path(folder, sizeof(folder)));
  EXPECT_EQ(std::string(folder), fs::path(name).parent_path().string() + "/");
  // A buffer with exactly as many bytes as the name has characters cannot hold it.
  int len = (int)strlen(name);
  std::vector<char> exact((size_t)len);
  EXPECT_FALSE(get_exe_filename(exact.data(), len));
  EXPECT_FALSE(get_exe_path(exact.data(), len));
  std::vector<char> fits((size_t)len + 1);
  EXPECT_TRUE(get_exe_filename(fits.data(), len + 1));
}

TEST(Paths, PerUserFolders) {
  {
    ScopedEnv xdg("XDG_DATA_HOME", "/data/home");
    EXPECT_STREQ(get_appdata_path(), "/data/home/");
    EXPECT_STREQ(get_appdata_path("sub/x"), "/data/home/sub/x");
    EXPECT_STREQ(get_appdata_folder_path("log.txt"), "/data/home/TORVANE/log.txt");
    EXPECT_STREQ(get_appdata_folder_path(""), "/data/home/TORVANE/");
  }
  {
    // Unset or relative (invalid by the XDG rules): the default under HOME.
    ScopedEnv home("HOME", "/home/player");
    for (const char* value : {(const char*)nullptr, "relative/dir"}) {
      ScopedEnv xdg("XDG_DATA_HOME", value);
      EXPECT_STREQ(get_appdata_folder_path("settings.cfg"), "/home/player/.local/share/TORVANE/settings.cfg");
    }
  }
  {
    ScopedEnv home("HOME", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    ScopedAppPath app("/g/");
    EXPECT_STREQ(get_appdata_path(), "/g/");
  }
}

TEST(PathsDeathTest, OverlongPerUserFolderIsTheAssertion) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string long_folder = "/" + std::string(258, 'd');
  ScopedEnv xdg("XDG_DATA_HOME", long_folder.c_str());
  EXPECT_EXIT(get_appdata_path(), testing::ExitedWithCode(100), "strings\\.h\\([0-9]+\\): failed ASSERT\\(l<BS\\)");
  long_folder.pop_back();
  ScopedEnv shorter("XDG_DATA_HOME", long_folder.c_str());
  EXPECT_EQ(strlen(get_appdata_path()), 259u);
  EXPECT_EXIT(get_appdata_folder_path("log.txt"), testing::ExitedWithCode(100), "failed ASSERT\\(l<BS\\)");
}

TEST(Paths, MakeFullPath) {
  ScopedAppPath app("/g/");
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"data/a.png", "/g/data/a.png"},
      {"data\\a.png", "/g/data/a.png"},
      {"./data/../b.txt", "/g/b.txt"},
      {"/abs//x/./y/../z", "/abs/x/z"},
      {"/", "/"},
      {"sub/", "/g/sub/"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(make_full_path(c.in), c.out) << c.in;
  EXPECT_STREQ(make_full_path(nullptr), "/g/");
  // Too long for a path buffer: empty, never cut off.
  std::string long_path = "/" + std::string(300, 'x');
  EXPECT_STREQ(make_full_path(long_path.c_str()), "");
}

TEST(Paths, FileTime) {
  std::string folder = fresh_folder("file_time");
  std::string path = folder + "/f.txt";
  std::ofstream(path) << "x";
  struct utimbuf times = {1000000000, 1234567890};
  ASSERT_EQ(utime(path.c_str(), &times), 0);
  EXPECT_EQ(get_file_time(path.c_str()), 1234567890);
  EXPECT_EQ(get_file_time((folder + "/missing").c_str()), 0);
}

TEST(Paths, RealPathThroughTheVirtualFileSystem) {
  std::string folder = fresh_folder("vfs") + "/";
  fs::create_directories(folder + "sub");
  std::ofstream(folder + "sub/a.txt") << "a";
  ASSERT_NE(PHYSFS_init(nullptr), 0);
  ASSERT_NE(PHYSFS_mount(folder.c_str(), nullptr, 1), 0);
  EXPECT_EQ(std::string(get_real_path("sub/a.txt").c_str()), folder + "sub/a.txt");
  EXPECT_STREQ(get_real_path("sub/missing.txt"), "");
  PHYSFS_deinit();
}

TEST(Pipes, PeekPipe) {
  EXPECT_EQ(peek_pipe(nullptr), 0);
  std::string path = fresh_folder("pipes") + "/plain.txt";
  FILE* plain = fopen(path.c_str(), "w+");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(peek_pipe(plain), 1);
  fclose(plain);

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  FILE* reader = fdopen(fds[0], "r");
  EXPECT_EQ(peek_pipe(reader), 0);
  ASSERT_EQ(write(fds[1], "12345", 5), 5);
  EXPECT_EQ(peek_pipe(reader), 5);
  fclose(reader);
  close(fds[1]);
}

TEST(Libraries, LoadLookUpAndFree) {
  void* lib = load_library("libm.so.6");
  ASSERT_NE(lib, nullptr);
  auto cosine = (double (*)(double))get_proc_address(lib, "cos");
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(get_proc_address(lib, "no_such_function_here"), nullptr);
  EXPECT_TRUE(free_library(lib));
  EXPECT_EQ(load_library("libdoes_not_exist.so"), nullptr);
  EXPECT_FALSE(free_library(nullptr));
}

TEST(Shell, ExecuteRunsInTheFolderWithoutWaiting) {
  std::string folder = fresh_folder("shell");
  std::string script = folder + "/it's a script.sh";
  std::ofstream(script) << "#!/bin/sh\necho \"$1\" > made.txt\n";
  fs::permissions(script, fs::perms::owner_all);
  ASSERT_TRUE(shell_execute("run", script.c_str(), "hello", folder.c_str()));
  std::string made = folder + "/made.txt";
  for (int i = 0; i < 500 && read_file(made).empty(); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(read_file(made), "hello\n");
  EXPECT_FALSE(shell_execute("open", "", nullptr, nullptr));
}

TEST(GpuActivity, UnavailableWithoutTheLibrary) {
  EXPECT_FALSE(init_gpu_activity());
  int percent = 77;
  EXPECT_FALSE(get_gpu_activity(&percent));
  EXPECT_EQ(percent, 77);
  EXPECT_FALSE(get_gpu_activity(nullptr));
  close_gpu_activity();
}

TEST(MainWindow, SetAndGet) {
  int window = 0;
  set_main_window(&window);
  EXPECT_EQ(get_main_window(), &window);
  set_main_window(nullptr);
}

TEST(Folders, CreateDirectories) {
  std::string folder = fresh_folder("mkdirs");
  EXPECT_TRUE(create_directories((folder + "/a/b/c").c_str()));
  EXPECT_TRUE(fs::is_directory(folder + "/a/b/c"));
  std::ofstream(folder + "/file") << "x";
  EXPECT_FALSE(create_directories((folder + "/file/sub").c_str()));
  EXPECT_EQ(errno, ENOTDIR);
  errno = 0;
  EXPECT_FALSE(create_directories((folder + "/file").c_str())) << "a file in the folder's place";
  EXPECT_EQ(errno, ENOTDIR);
}

// Every mkdir of this process fails with `error` from now on, as on a read-only file
// system (which a test can't mount); looking at files still works.
void refuse_every_mkdir(int error) {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_mkdir, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_mkdirat, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (unsigned)error),
  };
  sock_fprog program{(unsigned short)(sizeof(filter) / sizeof(filter[0])), filter};
  ASSERT_EQ(prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0), 0) << strerror(errno);
  ASSERT_EQ(prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program), 0) << strerror(errno);
}

// The per-user folder on a read-only file system: its mkdir fails with EROFS, while
// the stat that follows finds nothing (ENOENT). The reason given is the mkdir's, for
// the folder itself and for a folder whose parents are missing too.
TEST(FoldersChild, OnAReadOnlyFileSystem) {
  CHILD_ONLY();
  refuse_every_mkdir(EROFS);
  std::string home = getenv("XDG_DATA_HOME");
  for (const char* sub : {"/TORVANE", "/a/b/c"}) {
    errno = 0;
    EXPECT_FALSE(create_directories((home + sub).c_str())) << sub;
    EXPECT_EQ(errno, EROFS) << sub << ": " << strerror(errno);
  }
  check_user_folder();
}

TEST(Folders, AnUnwritablePerUserFolderIsReportedWithTheFailingStepsReason) {
  std::string home = fresh_folder("read_only");
  std::string tmp = fresh_folder("read_only_tmp");
  // The stand-in exists already: it needs no mkdir.
  std::string stand_in = tmp + "/TORVANE-" + std::to_string(geteuid()) + "/";
  fs::create_directories(stand_in);
  ChildResult r = run_child("FoldersChild.OnAReadOnlyFileSystem", home, {"TMPDIR=" + tmp});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("The per-user folder '" + home + "/TORVANE/' can't be written (Read-only file system): " +
                       "the log, settings and cache are kept in '" + stand_in + "'\n"),
            std::string::npos)
      << r.err;
}

}  // namespace
