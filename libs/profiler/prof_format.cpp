// Writing and reading the records of FORMAT.md.
#include "libs/profiler/prof_format.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace profiler {

namespace {

struct Cursor {
  const uint8_t* p;
  const uint8_t* end;
  bool ok = true;
  bool need(size_t n) {
    if ((size_t)(end - p) < n)
      ok = false;
    return ok;
  }
  uint8_t u8() { return need(1) ? *p++ : 0; }
  uint16_t u16() {
    if (!need(2))
      return 0;
    uint16_t v = (uint16_t)(p[0] | (p[1] << 8));
    p += 2;
    return v;
  }
  uint32_t u32() {
    if (!need(4))
      return 0;
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--)
      v = (v << 8) | p[i];
    p += 4;
    return v;
  }
  uint64_t u64() {
    uint64_t lo = u32();
    uint64_t hi = u32();
    return lo | (hi << 32);
  }
  std::string text() {
    uint16_t n = u16();
    if (!need(n))
      return std::string();
    std::string s((const char*)p, n);
    p += n;
    return s;
  }
};

}  // namespace

void RecordWriter::u8(uint8_t v) { out_.push_back(v); }
void RecordWriter::u16(uint16_t v) {
  u8((uint8_t)v);
  u8((uint8_t)(v >> 8));
}
void RecordWriter::u32(uint32_t v) {
  for (int i = 0; i < 4; i++)
    u8((uint8_t)(v >> (8 * i)));
}
void RecordWriter::u64(uint64_t v) {
  u32((uint32_t)v);
  u32((uint32_t)(v >> 32));
}
void RecordWriter::text(const std::string& s) {
  size_t n = std::min<size_t>(s.size(), 0xFFFF);
  u16((uint16_t)n);
  out_.insert(out_.end(), s.begin(), s.begin() + n);
}

void RecordWriter::begin(RecordTag tag) {
  u8(tag);
  record_start_ = out_.size();
  u32(0);  // payload size, patched by finish
}

void RecordWriter::finish() {
  uint32_t size = (uint32_t)(out_.size() - record_start_ - 4);
  for (int i = 0; i < 4; i++)
    out_[record_start_ + i] = (uint8_t)(size >> (8 * i));
}

void RecordWriter::header(uint64_t ticks_per_second, uint64_t start_time) {
  out_.insert(out_.end(), FORMAT_MAGIC, FORMAT_MAGIC + 8);
  u32(FORMAT_VERSION);
  u32(HEADER_SIZE);
  u64(ticks_per_second);
  u64(start_time);
}

void RecordWriter::thread(const ThreadRecord& t) {
  begin(TAG_THREAD);
  u32(t.index);
  u64(t.os_id);
  text(t.name);
  finish();
}

void RecordWriter::descriptor(const DescriptorRecord& d) {
  begin(TAG_DESCRIPTOR);
  u32(d.id);
  u32(d.color);
  u8(d.kind);
  u32((uint32_t)d.line);
  text(d.name);
  text(d.file);
  finish();
}

void RecordWriter::block(const BlockRecord& b) {
  begin(TAG_BLOCK);
  u32(b.thread);
  u32(b.descriptor);
  u64(b.begin);
  u64(b.end);
  u16(b.depth);
  finish();
}

void RecordWriter::frameEnd(uint64_t time) {
  begin(TAG_FRAME_END);
  u64(time);
  finish();
}

void RecordWriter::snapshotEnd() {
  begin(TAG_SNAPSHOT_END);
  finish();
}

void RecordWriter::dropped(uint32_t frames, uint64_t blocks) {
  begin(TAG_DROPPED);
  u32(frames);
  u64(blocks);
  finish();
}

void RecordWriter::end() {
  begin(TAG_END);
  finish();
}

bool RecordReader::parseHeader() {
  Cursor c{pending_.data(), pending_.data() + pending_.size()};
  if (memcmp(c.p, FORMAT_MAGIC, 8) != 0) {
    error_ = "not a profiler dump (bad magic)";
    return false;
  }
  c.p += 8;
  uint32_t version = c.u32();
  uint32_t header_size = c.u32();
  if (version != FORMAT_VERSION) {
    error_ = "unsupported format version " + std::to_string(version);
    return false;
  }
  if (header_size < HEADER_SIZE) {
    error_ = "bad header size";
    return false;
  }
  data_.ticks_per_second = c.u64();
  data_.start_time = c.u64();
  if (data_.ticks_per_second == 0) {
    error_ = "bad clock frequency";
    return false;
  }
  return true;
}

bool RecordReader::parseRecord(uint8_t tag, const uint8_t* p, uint32_t size) {
  Cursor c{p, p + size};
  switch (tag) {
    case TAG_THREAD: {
      ThreadRecord t;
      t.index = c.u32();
      t.os_id = c.u64();
      t.name = c.text();
      if (c.ok)
        data_.threads[t.index] = t;
      break;
    }
    case TAG_DESCRIPTOR: {
      DescriptorRecord d;
      d.id = c.u32();
      d.color = c.u32();
      d.kind = c.u8();
      d.line = (int32_t)c.u32();
      d.name = c.text();
      d.file = c.text();
      if (c.ok)
        data_.descriptors[d.id] = d;
      break;
    }
    case TAG_BLOCK: {
      BlockRecord b;
      b.thread = c.u32();
      b.descriptor = c.u32();
      b.begin = c.u64();
      b.end = c.u64();
      b.depth = c.u16();
      if (c.ok && !data_.descriptors.count(b.descriptor)) {
        error_ = "block refers to an unknown name id " + std::to_string(b.descriptor);
        return false;
      }
      if (c.ok && b.end < b.begin) {
        error_ = "block ends before it begins";
        return false;
      }
      if (c.ok)
        data_.blocks.push_back(b);
      break;
    }
    case TAG_FRAME_END:
      c.u64();
      data_.frames++;
      frames_in_feed_++;
      break;
    case TAG_SNAPSHOT_END:
      data_.snapshot_done = true;
      break;
    case TAG_DROPPED: {
      uint32_t frames = c.u32();
      uint64_t blocks = c.u64();
      if (c.ok) {
        data_.frames_dropped = frames;
        data_.blocks_dropped = blocks;
      }
      break;
    }
    case TAG_END:
      data_.ended = true;
      break;
    default:
      break;  // a record of a later version: skipped by its size
  }
  if (!c.ok) {
    error_ = "truncated record (tag " + std::to_string(tag) + ")";
    return false;
  }
  return true;
}

bool RecordReader::feed(const uint8_t* bytes, size_t size) {
  frames_in_feed_ = 0;
  if (!error_.empty())
    return false;
  pending_.insert(pending_.end(), bytes, bytes + size);
  size_t pos = 0;
  if (!header_done_) {
    if (pending_.size() < HEADER_SIZE)
      return true;
    if (!parseHeader())
      return false;
    header_done_ = true;
    pos = HEADER_SIZE;
  }
  while (pending_.size() - pos >= 5 && !data_.ended) {
    uint8_t tag = pending_[pos];
    uint32_t payload = pending_[pos + 1] | (pending_[pos + 2] << 8) | (pending_[pos + 3] << 16) |
                       ((uint32_t)pending_[pos + 4] << 24);
    if (pending_.size() - pos - 5 < payload)
      break;
    if (!parseRecord(tag, pending_.data() + pos + 5, payload))
      return false;
    pos += 5 + payload;
  }
  pending_.erase(pending_.begin(), pending_.begin() + pos);
  return true;
}

bool read_dump_file(const char* path, ProfileData& data, std::string& error) {
  FILE* f = fopen(path, "rb");
  if (!f) {
    error = std::string("can't open ") + path;
    return false;
  }
  RecordReader reader(data);
  uint8_t buf[65536];
  size_t n;
  bool ok = true;
  while (ok && (n = fread(buf, 1, sizeof(buf), f)) > 0)
    ok = reader.feed(buf, n);
  fclose(f);
  if (!ok) {
    error = reader.error();
    return false;
  }
  if (!data.ended) {
    error = "the dump ends early (no end record)";
    return false;
  }
  return true;
}

std::string format_block_table(const ProfileData& data) {
  struct Stats {
    uint64_t count = 0, total = 0, min = UINT64_MAX, max = 0;
  };
  std::map<uint32_t, Stats> stats;
  for (const BlockRecord& b : data.blocks) {
    Stats& s = stats[b.descriptor];
    uint64_t d = b.end - b.begin;
    s.count++;
    s.total += d;
    s.min = std::min(s.min, d);
    s.max = std::max(s.max, d);
  }
  // Most expensive first; names with the same total in id order.
  std::vector<std::pair<uint32_t, Stats>> rows(stats.begin(), stats.end());
  std::stable_sort(rows.begin(), rows.end(), [](auto& a, auto& b) { return a.second.total > b.second.total; });

  double to_ms = 1000.0 / (double)(data.ticks_per_second ? data.ticks_per_second : 1);
  std::string out;
  char line[512];
  snprintf(line, sizeof(line), "%-32s %-6s %10s %12s %10s %10s %10s\n", "name", "kind", "count", "total ms",
           "avg ms", "min ms", "max ms");
  out += line;
  for (auto& [id, s] : rows) {
    auto it = data.descriptors.find(id);
    const char* name = it != data.descriptors.end() ? it->second.name.c_str() : "?";
    uint8_t kind = it != data.descriptors.end() ? it->second.kind : 0;
    if (kind != 0) {
      snprintf(line, sizeof(line), "%-32s %-6s %10" PRIu64 "\n", name, kind == 2 ? "frame" : "event", s.count);
    } else {
      snprintf(line, sizeof(line), "%-32s %-6s %10" PRIu64 " %12.3f %10.3f %10.3f %10.3f\n", name, "block",
               s.count, s.total * to_ms, s.total * to_ms / (double)s.count, s.min * to_ms, s.max * to_ms);
    }
    out += line;
  }
  snprintf(line, sizeof(line), "%zu records, %zu threads, %u frames streamed\n", data.blocks.size(),
           data.threads.size(), data.frames);
  out += line;
  if (data.frames_dropped || data.blocks_dropped) {
    snprintf(line, sizeof(line), "%u oldest frames dropped (%" PRIu64 " records) to keep the history's limit\n",
             data.frames_dropped, data.blocks_dropped);
    out += line;
  }
  return out;
}

}  // namespace profiler
