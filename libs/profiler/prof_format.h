#pragma once
// The byte layout shared by the dump file and the live stream (FORMAT.md), with a
// writer and an incremental reader.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace profiler {

constexpr char FORMAT_MAGIC[8] = {'T', 'V', 'P', 'R', 'O', 'F', '0', '1'};
constexpr uint32_t FORMAT_VERSION = 1;
constexpr uint32_t HEADER_SIZE = 32;

enum RecordTag : uint8_t {
  TAG_END = 0,
  TAG_THREAD = 1,
  TAG_DESCRIPTOR = 2,
  TAG_BLOCK = 3,
  TAG_FRAME_END = 4,
  TAG_SNAPSHOT_END = 5,
  TAG_DROPPED = 6,
};

struct ThreadRecord {
  uint32_t index = 0;
  uint64_t os_id = 0;
  std::string name;
};

struct DescriptorRecord {
  uint32_t id = 0;
  uint32_t color = 0;
  uint8_t kind = 0;
  int32_t line = 0;
  std::string name;
  std::string file;
};

struct BlockRecord {
  uint32_t thread = 0;
  uint32_t descriptor = 0;
  uint64_t begin = 0;
  uint64_t end = 0;
  uint16_t depth = 0;
};

// Appends records to a byte buffer.
class RecordWriter {
 public:
  explicit RecordWriter(std::vector<uint8_t>& out) : out_(out) {}
  void header(uint64_t ticks_per_second, uint64_t start_time);
  void thread(const ThreadRecord& t);
  void descriptor(const DescriptorRecord& d);
  void block(const BlockRecord& b);
  void frameEnd(uint64_t time);
  void snapshotEnd();
  void dropped(uint32_t frames, uint64_t blocks);
  void end();

 private:
  void begin(RecordTag tag);
  void finish();
  void u8(uint8_t v);
  void u16(uint16_t v);
  void u32(uint32_t v);
  void u64(uint64_t v);
  void text(const std::string& s);
  std::vector<uint8_t>& out_;
  size_t record_start_ = 0;
};

// Everything read so far.
struct ProfileData {
  uint64_t ticks_per_second = 0;
  uint64_t start_time = 0;
  std::map<uint32_t, ThreadRecord> threads;
  std::map<uint32_t, DescriptorRecord> descriptors;
  std::vector<BlockRecord> blocks;
  uint32_t frames = 0;          // frame-end records seen
  uint32_t frames_dropped = 0;  // oldest frames the recording dropped to keep its limit
  uint64_t blocks_dropped = 0;  // the blocks and events they held
  bool snapshot_done = false;   // the live stream's recorded-so-far part is complete
  bool ended = false;           // the dump's end record was seen
};

// Reads bytes as they arrive (a file at once, a stream in pieces).
class RecordReader {
 public:
  explicit RecordReader(ProfileData& data) : data_(data) {}
  // Consumes what it can; false on malformed input (error() tells why).
  bool feed(const uint8_t* bytes, size_t size);
  const std::string& error() const { return error_; }
  // Frame-end records consumed by the last feed.
  uint32_t framesInLastFeed() const { return frames_in_feed_; }

 private:
  bool parseHeader();
  bool parseRecord(uint8_t tag, const uint8_t* p, uint32_t size);
  ProfileData& data_;
  std::vector<uint8_t> pending_;
  bool header_done_ = false;
  uint32_t frames_in_feed_ = 0;
  std::string error_;
};

// Reads a whole dump file; false with the reason in error.
bool read_dump_file(const char* path, ProfileData& data, std::string& error);

// The per-block table: one line per name with its count, total, average, minimum
// and maximum time in milliseconds; events show their count only.
std::string format_block_table(const ProfileData& data);

}  // namespace profiler
