// Recording, the dump read back (by the format reader and by the prof_reader tool),
// and a loopback client receiving the stream.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include <algorithm>

#include <gtest/gtest.h>

#include "libs/profiler/prof_format.h"
#include "libs/profiler/profiler.h"
#include "tests/profiler/loopback_client.h"
#include "tests/support/test_env.h"

namespace {

std::string temp_path(const char* name) { return test_env::data_home() + "/" + name; }

// Counts the blocks of one name in the data.
int count_named(const profiler::ProfileData& data, const char* name) {
  int n = 0;
  for (const auto& b : data.blocks)
    if (data.descriptors.at(b.descriptor).name == name)
      n++;
  return n;
}

const profiler::BlockRecord* find_named(const profiler::ProfileData& data, const char* name) {
  for (const auto& b : data.blocks)
    if (data.descriptors.at(b.descriptor).name == name)
      return &b;
  return nullptr;
}

// The profiler's log lines, written by its listener thread.
std::mutex log_mutex;
std::vector<std::string> logged_lines;
void capture_log(const char* line) {
  std::lock_guard<std::mutex> guard(log_mutex);
  logged_lines.push_back(line);
}
std::vector<std::string> lines_logged() {
  std::lock_guard<std::mutex> guard(log_mutex);
  return logged_lines;
}
int lines_logged_with(const std::string& text) {
  int n = 0;
  for (const std::string& line : lines_logged())
    n += line.find(text) != std::string::npos;
  return n;
}

class ProfilerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    {
      std::lock_guard<std::mutex> guard(log_mutex);
      logged_lines.clear();
    }
    profiler::clearRecorded();
    profiler::setEnabled(true);
  }
  void TearDown() override {
    profiler::stopListen();
    profiler::setEnabled(false);
    profiler::setLimits(0, 0);
    profiler::setLogFunction(nullptr);
  }
};

void record_frame_work(int frames) {
  for (int i = 0; i < frames; i++) {
    {
      PROFILE_BLOCK("outer work", 0xFF112233);
      PROFILE_BLOCK("inner work", 0xFF445566);
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    PROFILE_FRAME("FRAME", 0xFFFFECB3);
  }
}

TEST_F(ProfilerTest, DumpReadsBackWithNestingNamesAndThreads) {
  EXPECT_STREQ(profiler::registerThread("Main"), "Main");
  EXPECT_STREQ(profiler::registerThread("Other"), "Main") << "a registered thread keeps its first name";
  record_frame_work(3);
  profiler::setEnabled(false);
  {
    PROFILE_BLOCK("while disabled", 0xFF000000);
  }
  PROFILE_EVENT("disabled event", 0xFF000000);

  std::string path = temp_path("dump_test.prof");
  uint32_t written = profiler::dumpBlocksToFile(path.c_str());
  EXPECT_EQ(written, 9u);  // 3 x (outer, inner, FRAME)

  profiler::ProfileData data;
  std::string error;
  ASSERT_TRUE(profiler::read_dump_file(path.c_str(), data, error)) << error;
  EXPECT_EQ(data.blocks.size(), 9u);
  EXPECT_EQ(count_named(data, "outer work"), 3);
  EXPECT_EQ(count_named(data, "inner work"), 3);
  EXPECT_EQ(count_named(data, "FRAME"), 3);
  EXPECT_EQ(count_named(data, "while disabled"), 0);
  EXPECT_EQ(count_named(data, "disabled event"), 0);

  const auto* outer = find_named(data, "outer work");
  const auto* inner = find_named(data, "inner work");
  ASSERT_TRUE(outer && inner);
  EXPECT_EQ(outer->depth, 0);
  EXPECT_EQ(inner->depth, 1);
  EXPECT_LE(outer->begin, inner->begin);
  EXPECT_GE(outer->end, inner->end);
  EXPECT_GE(inner->end - inner->begin, 200000u) << "the inner block slept 200 us";
  EXPECT_EQ(data.threads.at(outer->thread).name, "Main");
  EXPECT_EQ(data.descriptors.at(outer->descriptor).color, 0xFF112233u);
  EXPECT_EQ(data.descriptors.at(find_named(data, "FRAME")->descriptor).kind, (uint8_t)profiler::BlockKind::Frame);
}

TEST_F(ProfilerTest, EndBlockWithoutOpenBlockIsHarmless) {
  for (int i = 0; i < 1000; i++)
    profiler::endBlock();
  profiler::beginBlock(profiler::registerDescription("left open", 0, __FILE__, __LINE__, profiler::BlockKind::Block));
  profiler::endBlock();
  profiler::endBlock();
  std::string path = temp_path("endblock.prof");
  EXPECT_EQ(profiler::dumpBlocksToFile(path.c_str()), 1u);
}

TEST_F(ProfilerTest, DumpToUnwritablePathWritesNothing) {
  record_frame_work(1);
  EXPECT_EQ(profiler::dumpBlocksToFile("/nonexistent-folder/x/game.prof"), 0u);
}

TEST_F(ProfilerTest, ReaderRejectsBrokenFiles) {
  std::string path = temp_path("broken.prof");
  struct Case {
    const char* what;
    std::string bytes;
    const char* error_part;
  };
  std::vector<uint8_t> good;
  profiler::RecordWriter w(good);
  w.header(1000000000ull, 0);
  profiler::DescriptorRecord d;
  d.id = 0;
  d.name = "x";
  w.descriptor(d);
  profiler::BlockRecord b;
  b.descriptor = 7;  // unknown id
  w.block(b);
  w.end();
  std::string good_header((const char*)good.data(), 32);
  const Case cases[] = {
      {"wrong magic", std::string(32, 'x'), "magic"},
      {"header only, no end", good_header, "ends early"},
      {"unknown name id", std::string(good.begin(), good.end()), "unknown name"},
      {"truncated record", good_header + std::string("\x02\x40\x00\x00\x00\x01", 6), "ends early"},
  };
  for (const Case& c : cases) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    fwrite(c.bytes.data(), 1, c.bytes.size(), f);
    fclose(f);
    profiler::ProfileData data;
    std::string error;
    EXPECT_FALSE(profiler::read_dump_file(path.c_str(), data, error)) << c.what;
    EXPECT_NE(error.find(c.error_part), std::string::npos) << c.what << ": " << error;
  }
}

TEST_F(ProfilerTest, ReaderToolPrintsTheTable) {
  profiler::registerThread("Main");
  record_frame_work(4);
  std::string path = temp_path("tool_test.prof");
  ASSERT_EQ(profiler::dumpBlocksToFile(path.c_str()), 12u);
  std::string cmd = test_env::bin_dir() + "/prof_reader " + path;
  FILE* p = popen(cmd.c_str(), "r");
  ASSERT_TRUE(p);
  std::string out;
  char buf[512];
  while (fgets(buf, sizeof(buf), p))
    out += buf;
  ASSERT_EQ(pclose(p), 0) << out;
  // One row per name with its count.
  auto row_count = [&](const char* name) -> long {
    size_t at = out.find(std::string(name) + " ");
    if (at == std::string::npos)
      return -1;
    size_t line_end = out.find('\n', at);
    std::string line = out.substr(at, line_end - at);
    char kind[16];
    long count = -1;
    sscanf(line.c_str() + strlen(name), " %15s %ld", kind, &count);
    return count;
  };
  EXPECT_EQ(row_count("outer work"), 4) << out;
  EXPECT_EQ(row_count("inner work"), 4) << out;
  EXPECT_EQ(row_count("FRAME"), 4) << out;
}

using loopback_client::read_until;

TEST_F(ProfilerTest, LoopbackClientGetsSnapshotThenEachFrame) {
  const uint16_t port = 29000 + (getpid() % 1000);  // away from the game's 28077
  profiler::registerThread("Main");
  record_frame_work(2);  // recorded before the client connects
  ASSERT_TRUE(profiler::startListen(port));
  EXPECT_TRUE(profiler::startListen(port)) << "listening twice is harmless";
  int fd = loopback_client::connect(port);
  ASSERT_GE(fd, 0);

  profiler::ProfileData data;
  profiler::RecordReader reader(data);
  ASSERT_TRUE(read_until(fd, reader, [&] { return data.snapshot_done; })) << reader.error();
  EXPECT_EQ(count_named(data, "outer work"), 2);
  EXPECT_EQ(count_named(data, "FRAME"), 2);
  EXPECT_EQ(data.frames, 0u);

  // Wait until the listener has the client, then record three more frames.
  for (int i = 0; i < 200 && profiler::connectedClients() == 0; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  record_frame_work(3);
  ASSERT_TRUE(read_until(fd, reader, [&] { return data.frames == 3; })) << reader.error();
  EXPECT_EQ(count_named(data, "outer work"), 5) << "no block is sent twice";
  EXPECT_EQ(count_named(data, "inner work"), 5);
  EXPECT_EQ(data.threads.size(), 1u);
  EXPECT_EQ(data.threads.begin()->second.name, "Main");

  profiler::stopListen();
  uint8_t byte;
  EXPECT_EQ(recv(fd, &byte, 1, 0), 0) << "the stream ends when listening stops";
  close(fd);
}

// Frames of `blocks` blocks each and a frame event.
void record_big_frames(int frames, int blocks) {
  for (int f = 0; f < frames; f++) {
    for (int b = 0; b < blocks; b++) {
      PROFILE_BLOCK("bulk work", 0xFF778899);
    }
    PROFILE_FRAME("FRAME", 0xFFFFECB3);
  }
}

TEST_F(ProfilerTest, HistoryKeepsItsLimitDroppingTheOldestFramesFirst) {
  const size_t limit = size_t(1) << 20;
  profiler::setLimits(limit, 0);
  profiler::registerThread("Main");
  const int frames = 100, per_frame = 1000;
  record_big_frames(frames, per_frame);

  std::string path = temp_path("limit_test.prof");
  uint32_t written = profiler::dumpBlocksToFile(path.c_str());
  profiler::ProfileData data;
  std::string error;
  ASSERT_TRUE(profiler::read_dump_file(path.c_str(), data, error)) << error;
  EXPECT_EQ(written, data.blocks.size());
  EXPECT_LE(data.blocks.size() * sizeof(profiler::BlockRecord), limit);
  int kept_frames = count_named(data, "FRAME");
  EXPECT_GT(kept_frames, 10) << "the limit holds dozens of these frames";
  EXPECT_GT(data.frames_dropped, 0u);
  EXPECT_EQ(data.frames_dropped + (uint32_t)kept_frames, (uint32_t)frames);
  // Whole frames go: the kept ones are complete, and the dropped ones are counted.
  EXPECT_EQ(count_named(data, "bulk work"), kept_frames * per_frame);
  EXPECT_EQ(data.blocks_dropped, (uint64_t)data.frames_dropped * (per_frame + 1));
  // The newest frames are the ones kept.
  uint64_t last_frame = 0;
  for (const auto& b : data.blocks)
    last_frame = std::max(last_frame, b.end);
  EXPECT_EQ(find_named(data, "FRAME") != nullptr, true);
  EXPECT_GE(data.blocks.back().end, last_frame);
  EXPECT_NE(profiler::format_block_table(data).find(std::to_string(data.frames_dropped) + " oldest frames dropped"),
            std::string::npos)
      << profiler::format_block_table(data);

  // Forgetting the history forgets the count too.
  profiler::clearRecorded();
  record_big_frames(1, 1);
  ASSERT_EQ(profiler::dumpBlocksToFile(path.c_str()), 2u);
  profiler::ProfileData fresh;
  ASSERT_TRUE(profiler::read_dump_file(path.c_str(), fresh, error)) << error;
  EXPECT_EQ(fresh.frames_dropped, 0u);
}


TEST_F(ProfilerTest, ClientThatDoesNotReadIsDroppedWithALogLine) {
  const uint16_t port = 30000 + (getpid() % 1000);
  profiler::setLogFunction(capture_log);
  profiler::setLimits(0, size_t(256) << 10);
  profiler::registerThread("Main");
  ASSERT_TRUE(profiler::startListen(port));
  int fd = loopback_client::connect(port);
  ASSERT_GE(fd, 0);
  int small = 4096;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
  for (int i = 0; i < 200 && profiler::connectedClients() == 0; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(profiler::connectedClients(), 1);

  // The client reads nothing while the game goes on recording.
  for (int round = 0; round < 400 && profiler::connectedClients() > 0; round++) {
    record_big_frames(5, 200);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(profiler::connectedClients(), 0);
  std::vector<std::string> lines = lines_logged();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("profiler: dropped a client that does not read"), std::string::npos) << lines[0];
  // The game records on, and a new client is served.
  record_big_frames(1, 1);
  int again = loopback_client::connect(port);
  ASSERT_GE(again, 0);
  profiler::ProfileData data;
  profiler::RecordReader reader(data);
  ASSERT_TRUE(read_until(again, reader, [&] { return data.snapshot_done; })) << reader.error();
  close(again);
  close(fd);
}

TEST_F(ProfilerTest, ClientConnectingToALongHistoryGetsAllOfItWhileFramesGoOn) {
  const uint16_t port = 31000 + (getpid() % 1000);
  profiler::registerThread("Main");
  const int history_frames = 200, per_frame = 1000;
  record_big_frames(history_frames, per_frame);  // some 6 MB in the stream
  ASSERT_TRUE(profiler::startListen(port));
  int fd = loopback_client::connect(port);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < 200 && profiler::connectedClients() == 0; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // Frames end while the client has read nothing of its snapshot yet.
  record_big_frames(3, 10);

  // Fed in small pieces, so what had arrived at the snapshot's end can be told apart.
  profiler::ProfileData data;
  profiler::RecordReader reader(data);
  int bulk_at_snapshot_end = -1;
  uint32_t frames_at_snapshot_end = 0;
  uint8_t buf[4096];
  while (data.frames < 3) {
    ssize_t n = recv(fd, buf, sizeof(buf), 0);
    ASSERT_GT(n, 0);
    for (ssize_t at = 0; at < n; at += 16) {
      ASSERT_TRUE(reader.feed(buf + at, (size_t)std::min<ssize_t>(16, n - at))) << reader.error();
      if (data.snapshot_done && bulk_at_snapshot_end < 0) {
        bulk_at_snapshot_end = count_named(data, "bulk work");
        frames_at_snapshot_end = data.frames;
      }
    }
  }
  EXPECT_EQ(bulk_at_snapshot_end, history_frames * per_frame);
  EXPECT_EQ(frames_at_snapshot_end, 0u);
  // Each frame that ended meanwhile follows with its own batch, nothing sent twice.
  EXPECT_EQ(count_named(data, "bulk work"), history_frames * per_frame + 3 * 10);
  EXPECT_EQ(count_named(data, "FRAME"), history_frames + 3);
  record_big_frames(1, 10);
  ASSERT_TRUE(read_until(fd, reader, [&] { return data.frames == 4; })) << reader.error();
  EXPECT_EQ(count_named(data, "bulk work"), history_frames * per_frame + 4 * 10);
  close(fd);
}

// A viewer connected to the listener, with what it has read so far.
struct Viewer {
  int fd = -1;
  profiler::ProfileData data;
  profiler::RecordReader reader{data};
  explicit Viewer(uint16_t port) : fd(loopback_client::connect(port)) {}
  ~Viewer() {
    if (fd >= 0)
      close(fd);
  }
  // Served: the listener sent everything recorded so far.
  bool served() { return fd >= 0 && read_until(fd, reader, [&] { return data.snapshot_done; }); }
  bool frames_read(uint32_t n) { return read_until(fd, reader, [&] { return data.frames == n; }); }
};

bool closed_at_once(int fd) {
  uint8_t byte;
  return recv(fd, &byte, 1, 0) == 0;
}

int open_descriptors() {
  int n = 0;
  if (DIR* dir = opendir("/proc/self/fd")) {
    while (dirent* e = readdir(dir))
      n += e->d_name[0] != '.';
    closedir(dir);
  }
  return n;
}

void wait_for_clients(int n) {
  for (int i = 0; i < 400 && profiler::connectedClients() != n; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

// Each client costs the game a descriptor and up to the backlog limit of memory, so
// their number is capped: connections past the cap are closed at once, the first of
// each run of refusals logged, and a place that comes free is taken again.
TEST_F(ProfilerTest, ListenerServesAtMostMaxClientsAndClosesTheRestAtOnce) {
  const uint16_t port = 33000 + (getpid() % 1000);
  const std::string refusal =
      "profiler: " + std::to_string(profiler::MAX_CLIENTS) + " clients connected, the most served at once";
  profiler::setLogFunction(capture_log);
  profiler::registerThread("Main");
  record_frame_work(1);
  ASSERT_TRUE(profiler::startListen(port));

  std::vector<std::unique_ptr<Viewer>> kept;
  for (int i = 0; i < profiler::MAX_CLIENTS; i++) {
    kept.push_back(std::make_unique<Viewer>(port));
    ASSERT_TRUE(kept.back()->served()) << "client " << i;
  }
  wait_for_clients(profiler::MAX_CLIENTS);
  ASSERT_EQ(profiler::connectedClients(), profiler::MAX_CLIENTS);
  const int descriptors = open_descriptors();

  // Many more than the cap, one after another, as idle viewers would come.
  for (int i = 0; i < 3 * profiler::MAX_CLIENTS; i++) {
    int fd = loopback_client::connect(port);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(closed_at_once(fd)) << "extra client " << i;
    close(fd);
  }
  EXPECT_EQ(profiler::connectedClients(), profiler::MAX_CLIENTS);
  EXPECT_EQ(open_descriptors(), descriptors) << "the game holds no descriptor for a refused client";
  EXPECT_EQ(lines_logged_with(refusal), 1) << "one line for the run of refusals";

  // The served clients still get every frame.
  record_frame_work(1);
  for (auto& viewer : kept)
    EXPECT_TRUE(viewer->frames_read(1)) << viewer->reader.error();

  // A client that leaves frees its place for the next one; the run of refusals that
  // follows is logged anew.
  kept.pop_back();
  wait_for_clients(profiler::MAX_CLIENTS - 1);
  kept.push_back(std::make_unique<Viewer>(port));
  EXPECT_TRUE(kept.back()->served());
  int fd = loopback_client::connect(port);
  EXPECT_TRUE(closed_at_once(fd));
  close(fd);
  EXPECT_EQ(lines_logged_with(refusal), 2);
}

}  // namespace
