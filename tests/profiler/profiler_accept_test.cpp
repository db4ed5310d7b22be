// The listener when accept fails for want of file descriptors: the connection stays
// queued and the listening socket readable, so the listener must wait between tries
// (with one log line) instead of polling and failing again at once, and must take
// the client once descriptors are free again.
//
// This program defines accept itself, ahead of the C library's, to count the
// listener's calls and, for the system-wide case, to fail them on request.
#include <arpa/inet.h>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "libs/profiler/prof_format.h"
#include "libs/profiler/profiler.h"
#include "tests/profiler/loopback_client.h"

namespace {

std::atomic<int> accept_calls{0};
std::atomic<int> injected_accept_error{0};

}  // namespace

extern "C" int accept(int fd, sockaddr* addr, socklen_t* len) {
  using AcceptFn = int (*)(int, sockaddr*, socklen_t*);
  static AcceptFn real_accept = (AcceptFn)dlsym(RTLD_NEXT, "accept");
  accept_calls++;
  if (int error = injected_accept_error.load()) {
    errno = error;
    return -1;
  }
  return real_accept(fd, addr, len);
}

namespace {

std::mutex log_mutex;
std::vector<std::string> logged_lines;
void capture_log(const char* line) {
  std::lock_guard<std::mutex> guard(log_mutex);
  logged_lines.push_back(line);
}

int lines_logged_with(const std::string& text) {
  std::lock_guard<std::mutex> guard(log_mutex);
  int n = 0;
  for (const std::string& line : logged_lines)
    n += line.find(text) != std::string::npos;
  return n;
}

int highest_open_fd() {
  int highest = 2;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(dir))
      highest = std::max(highest, atoi(e->d_name));
    closedir(dir);
  }
  return highest;
}

// The process's descriptors used up to the last one, which the client's socket then
// takes: the listener's accept fails with EMFILE until release().
class DescriptorsUsedUp {
 public:
  DescriptorsUsedUp() {
    getrlimit(RLIMIT_NOFILE, &old_limit_);
    rlimit low = old_limit_;
    low.rlim_cur = (rlim_t)highest_open_fd() + 16;
    ok_ = setrlimit(RLIMIT_NOFILE, &low) == 0;
    for (int fd; ok_ && (fd = open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
      fillers_.push_back(fd);
    ok_ = ok_ && errno == EMFILE && !fillers_.empty();
    if (!fillers_.empty()) {
      close(fillers_.back());
      fillers_.pop_back();
    }
  }
  ~DescriptorsUsedUp() { release(); }
  bool ok() const { return ok_; }
  void release() {
    for (int fd : fillers_)
      close(fd);
    fillers_.clear();
    setrlimit(RLIMIT_NOFILE, &old_limit_);
  }

 private:
  rlimit old_limit_{};
  std::vector<int> fillers_;
  bool ok_ = false;
};

struct ExhaustionCase {
  const char* name;
  int injected_error;  // 0: the process's own limit, really reached
};

void PrintTo(const ExhaustionCase& c, std::ostream* os) { *os << c.name; }

const ExhaustionCase exhaustion_cases[] = {
    {"ProcessLimit", 0},
    {"SystemTable", ENFILE},
};

class ProfilerAcceptTest : public ::testing::TestWithParam<ExhaustionCase> {
 protected:
  void SetUp() override {
    logged_lines.clear();
    profiler::setLogFunction(capture_log);
    profiler::clearRecorded();
    profiler::setEnabled(true);
  }
  void TearDown() override {
    injected_accept_error = 0;
    profiler::stopListen();
    profiler::setEnabled(false);
    profiler::setLogFunction(nullptr);
  }
};

TEST_P(ProfilerAcceptTest, ListenerWaitsBetweenTriesAndTakesTheClientOnceDescriptorsAreFree) {
  const ExhaustionCase& c = GetParam();
  const uint16_t port = 32000 + (getpid() % 1000);
  profiler::registerThread("Main");
  PROFILE_FRAME("FRAME", 0xFFFFECB3);
  ASSERT_TRUE(profiler::startListen(port));

  std::unique_ptr<DescriptorsUsedUp> used_up;
  if (c.injected_error)
    injected_accept_error = c.injected_error;
  else
    used_up = std::make_unique<DescriptorsUsedUp>();
  ASSERT_TRUE(!used_up || used_up->ok()) << "could not use up the descriptors";
  accept_calls = 0;
  int fd = loopback_client::connect(port);
  ASSERT_GE(fd, 0) << "the connection is queued by the system, not by the listener";

  // Three seconds of a connection that cannot be taken: spinning makes thousands of
  // calls; waiting 0.1 s, then twice as long each time up to 1.6 s, makes about six.
  std::this_thread::sleep_for(std::chrono::seconds(3));
  int calls = accept_calls.load();
  EXPECT_GE(calls, 3) << "the listener keeps trying";
  EXPECT_LE(calls, 12) << "the listener waits between tries";
  EXPECT_EQ(lines_logged_with("profiler: can't accept a client"), 1) << "one log line for the whole run of failures";
  EXPECT_EQ(profiler::connectedClients(), 0);

  injected_accept_error = 0;
  if (used_up)
    used_up->release();
  for (int i = 0; i < 500 && profiler::connectedClients() == 0; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(profiler::connectedClients(), 1) << "the client is taken at the next try";

  // And served as any client is: everything recorded so far.
  profiler::ProfileData data;
  profiler::RecordReader reader(data);
  ASSERT_TRUE(loopback_client::read_until(fd, reader, [&] { return data.snapshot_done; }))
      << "the stream ended before the snapshot did " << reader.error();
  EXPECT_EQ(data.threads.size(), 1u);
  close(fd);
}

INSTANTIATE_TEST_SUITE_P(Exhaustion, ProfilerAcceptTest, ::testing::ValuesIn(exhaustion_cases),
                         [](const ::testing::TestParamInfo<ExhaustionCase>& info) { return info.param.name; });

}  // namespace
