// Recording of blocks and events per thread, the dump, and the loopback listener
// that streams them to clients.
//
// Each thread records into chunks of fixed size. A record below a thread's count
// never changes again, and the chunks are shared, so the dump and the listener copy
// the chunk list under the thread's lock (a moment) and serialise without any lock:
// the threads that record never wait while the history is written out.
#include "libs/profiler/profiler.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "libs/profiler/prof_format.h"

namespace profiler {

namespace {

constexpr size_t CHUNK_RECORDS = 4096;
struct Chunk {
  BlockRecord records[CHUNK_RECORDS];
};

constexpr size_t DEFAULT_HISTORY_LIMIT = size_t(64) << 20;
constexpr size_t DEFAULT_BACKLOG_LIMIT = size_t(16) << 20;
// The listener writes more of a client's snapshot only while less than this waits.
constexpr size_t SNAPSHOT_PIECE = size_t(256) << 10;

struct OpenBlock {
  const BlockDescriptor* desc;
  uint64_t begin;
  bool recorded;
};

struct ThreadData {
  uint32_t index = 0;
  uint64_t os_id = 0;
  std::string name;
  bool registered = false;
  uint32_t name_serial = 0;  // grows when the name changes
  // Guards the name and the records. Record number s lives in
  // chunks[(s - chunk_base) / CHUNK_RECORDS]; records below first_seq were dropped.
  std::mutex lock;
  std::deque<std::shared_ptr<Chunk>> chunks;
  uint64_t chunk_base = 0, first_seq = 0, next_seq = 0;
  std::vector<OpenBlock> stack;  // touched by the owning thread only
};

// Records [from, to) of one thread, readable without its lock.
struct RecordRange {
  ThreadRecord thread;
  uint32_t name_serial = 0;
  std::vector<std::shared_ptr<Chunk>> chunks;
  uint64_t chunk_base = 0, from = 0, to = 0;
  const BlockRecord& at(uint64_t seq) const {
    return chunks[(seq - chunk_base) / CHUNK_RECORDS]->records[seq % CHUNK_RECORDS];
  }
};

struct Client {
  int fd = -1;
  // Guarded by registry_lock (the frame end appends to the outbox).
  std::vector<uint8_t> outbox;
  size_t outbox_sent = 0;
  bool streaming = false;                // the snapshot is out: batches follow each frame
  std::vector<uint64_t> frames_waiting;  // frames that ended while the snapshot went out
  size_t descriptors_sent = 0;
  std::vector<uint64_t> seq_sent;            // per thread index
  std::vector<uint32_t> thread_serial_sent;  // per thread index; 0 = never sent
  // The snapshot still to write; the listener thread's alone.
  std::vector<RecordRange> snapshot;
  size_t snapshot_thread = 0;
  uint64_t snapshot_seq = 0;
  bool snapshot_thread_started = false;

  size_t waiting() const { return outbox.size() - outbox_sent; }
};

std::mutex registry_lock;  // threads, descriptors, clients; held only for moments
std::vector<std::unique_ptr<ThreadData>> threads;
std::vector<std::unique_ptr<BlockDescriptor>> descriptors;
std::vector<std::unique_ptr<Client>> clients;

std::atomic<bool> enabled{false};
const uint64_t start_time = now();

thread_local ThreadData* this_thread = nullptr;

// The history limit: bytes of chunks kept, the frame ends still kept (oldest first),
// and what was dropped.
std::atomic<size_t> history_limit{DEFAULT_HISTORY_LIMIT};
std::atomic<size_t> backlog_limit{DEFAULT_BACKLOG_LIMIT};
std::atomic<size_t> history_bytes{0};
std::mutex trim_lock;    // one trimmer at a time; recording threads only try it
std::mutex frames_lock;  // frame_ends
std::deque<uint64_t> frame_ends;
std::atomic<uint32_t> frames_dropped{0};
std::atomic<uint64_t> blocks_dropped{0};

std::atomic<LogFunction> log_function{nullptr};

// Listener state (owned by the thread calling startListen/stopListen).
int listen_fd = -1;
int wake_pipe[2] = {-1, -1};
std::thread listener;
std::atomic<bool> listener_stop{false};
std::atomic<int> client_count{0};
bool refusing_clients = false;  // the listener thread's: in a run of refusals

void log_line(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void log_line(const char* fmt, ...) {
  char line[512];
  va_list args;
  va_start(args, fmt);
  vsnprintf(line, sizeof(line), fmt, args);
  va_end(args);
  if (LogFunction log = log_function.load())
    log(line);
  else
    fprintf(stderr, "%s\n", line);
}

ThreadData& current_thread() {
  if (!this_thread) {
    auto data = std::make_unique<ThreadData>();
    data->os_id = (uint64_t)syscall(SYS_gettid);
    std::lock_guard<std::mutex> guard(registry_lock);
    data->index = (uint32_t)threads.size();
    this_thread = data.get();
    threads.push_back(std::move(data));
  }
  return *this_thread;
}

DescriptorRecord descriptor_record(const BlockDescriptor& d) {
  return DescriptorRecord{d.id, d.color, (uint8_t)d.kind, d.line, d.name, d.file};
}

// The thread's records from `from` (or its oldest kept one) to now.
RecordRange capture_range(ThreadData& t, uint64_t from) {
  RecordRange r;
  std::lock_guard<std::mutex> guard(t.lock);
  r.thread = ThreadRecord{t.index, t.os_id, t.name};
  r.name_serial = t.name_serial;
  r.from = std::max(from, t.first_seq);
  r.to = t.next_seq;
  if (r.from >= r.to)
    return r;
  size_t first_chunk = (r.from - t.chunk_base) / CHUNK_RECORDS;
  r.chunk_base = t.chunk_base + first_chunk * CHUNK_RECORDS;
  r.chunks.assign(t.chunks.begin() + (long)first_chunk, t.chunks.end());
  return r;
}

// Drops the thread's records that completed up to `time`; every chunk left wholly
// below the oldest kept record is freed.
void drop_records_until(ThreadData& t, uint64_t time) {
  std::lock_guard<std::mutex> guard(t.lock);
  uint64_t dropped = 0;
  while (t.first_seq < t.next_seq &&
         t.chunks[(t.first_seq - t.chunk_base) / CHUNK_RECORDS]->records[t.first_seq % CHUNK_RECORDS].end <= time) {
    t.first_seq++;
    dropped++;
  }
  while (!t.chunks.empty() && t.chunk_base + CHUNK_RECORDS <= t.first_seq) {
    t.chunks.pop_front();
    t.chunk_base += CHUNK_RECORDS;
    history_bytes -= sizeof(Chunk);
  }
  blocks_dropped += dropped;
}

// Without a frame end left to drop: the oldest whole chunk of the thread with most.
bool drop_oldest_chunk() {
  std::lock_guard<std::mutex> guard(registry_lock);
  ThreadData* biggest = nullptr;
  for (auto& t : threads) {
    std::lock_guard<std::mutex> tguard(t->lock);
    if (t->chunks.size() >= 2 && (!biggest || t->chunks.size() > biggest->chunks.size()))
      biggest = t.get();
  }
  if (!biggest)
    return false;
  std::lock_guard<std::mutex> tguard(biggest->lock);
  uint64_t end = biggest->chunk_base + CHUNK_RECORDS;
  blocks_dropped += end - biggest->first_seq;
  biggest->first_seq = end;
  biggest->chunks.pop_front();
  biggest->chunk_base = end;
  history_bytes -= sizeof(Chunk);
  return true;
}

// Keeps the history within its limit, dropping the oldest frames first. A thread
// that finds another one trimming goes on recording.
void trim_history() {
  std::unique_lock<std::mutex> trimming(trim_lock, std::try_to_lock);
  if (!trimming.owns_lock())
    return;
  while (history_bytes > history_limit) {
    uint64_t frame_end;
    {
      std::lock_guard<std::mutex> guard(frames_lock);
      if (frame_ends.empty())
        break;
      frame_end = frame_ends.front();
      frame_ends.pop_front();
    }
    std::lock_guard<std::mutex> guard(registry_lock);
    for (auto& t : threads)
      drop_records_until(*t, frame_end);
    frames_dropped++;
  }
  while (history_bytes > history_limit && drop_oldest_chunk()) {
  }
}

void record(ThreadData& t, const BlockRecord& b) {
  bool grew = false;
  {
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.chunks.empty()) {
      t.chunk_base = t.next_seq - t.next_seq % CHUNK_RECORDS;
      t.first_seq = t.next_seq;
    }
    if (t.chunks.empty() || t.next_seq == t.chunk_base + t.chunks.size() * CHUNK_RECORDS) {
      t.chunks.push_back(std::make_shared<Chunk>());
      grew = true;
    }
    t.chunks.back()->records[t.next_seq % CHUNK_RECORDS] = b;
    t.next_seq++;
  }
  if (grew && (history_bytes += sizeof(Chunk)) > history_limit)
    trim_history();
}

void wake_listener() {
  if (wake_pipe[1] >= 0) {
    char c = 1;
    ssize_t ignored = write(wake_pipe[1], &c, 1);
    (void)ignored;
  }
}

// Appends what the client has not received of what completed up to `until`.
// Registry lock held.
void append_news(Client& client, RecordWriter& w, uint64_t until) {
  for (; client.descriptors_sent < descriptors.size(); client.descriptors_sent++)
    w.descriptor(descriptor_record(*descriptors[client.descriptors_sent]));
  client.seq_sent.resize(threads.size(), 0);
  client.thread_serial_sent.resize(threads.size(), 0);
  for (auto& t : threads) {
    RecordRange r = capture_range(*t, client.seq_sent[t->index]);
    if (client.thread_serial_sent[t->index] != r.name_serial + 1) {
      w.thread(r.thread);
      client.thread_serial_sent[t->index] = r.name_serial + 1;
    }
    uint64_t seq = r.from;
    for (; seq < r.to && r.at(seq).end <= until; seq++)
      w.block(r.at(seq));
    client.seq_sent[t->index] = seq;
  }
}

// Out of descriptors, accept leaves the connection queued and the socket stays
// readable, so polling it again at once would spin. The listener waits instead, twice
// as long after each such failure up to a limit, and from the start after a success.
constexpr int ACCEPT_FIRST_WAIT_MS = 100;
constexpr int ACCEPT_LONGEST_WAIT_MS = 1600;

struct AcceptBackoff {
  int wait_ms = 0;  // 0: accepting normally
  uint64_t retry_at = 0;
};

bool out_of_descriptors(int error) { return error == EMFILE || error == ENFILE; }

void note_accept_failure(AcceptBackoff& backoff, int error) {
  if (backoff.wait_ms == 0)
    log_line("profiler: can't accept a client (%s); trying again at intervals up to %.1f s", strerror(error),
             ACCEPT_LONGEST_WAIT_MS / 1000.0);
  backoff.wait_ms = backoff.wait_ms ? std::min(backoff.wait_ms * 2, ACCEPT_LONGEST_WAIT_MS) : ACCEPT_FIRST_WAIT_MS;
  backoff.retry_at = now() + (uint64_t)backoff.wait_ms * 1000000u;
}

// Milliseconds until the listening socket is polled again; 0 when it is polled now.
int accept_wait_left(const AcceptBackoff& backoff) {
  uint64_t t = now();
  return t >= backoff.retry_at ? 0 : (int)((backoff.retry_at - t + 999999) / 1000000);
}

void accept_client(AcceptBackoff& backoff) {
  int fd = accept(listen_fd, nullptr, nullptr);
  if (fd < 0) {
    if (out_of_descriptors(errno))
      note_accept_failure(backoff, errno);
    return;
  }
  backoff.wait_ms = 0;
  // Each client may hold up to the backlog limit of unsent data and a descriptor of
  // the game's: their number stays small.
  if (client_count >= MAX_CLIENTS) {
    if (!refusing_clients)
      log_line("profiler: %d clients connected, the most served at once; refusing more until one leaves",
               MAX_CLIENTS);
    refusing_clients = true;
    close(fd);
    return;
  }
  refusing_clients = false;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  auto client = std::make_unique<Client>();
  client->fd = fd;
  RecordWriter w(client->outbox);
  std::lock_guard<std::mutex> guard(registry_lock);
  w.header(1000000000ull, start_time);
  for (; client->descriptors_sent < descriptors.size(); client->descriptors_sent++)
    w.descriptor(descriptor_record(*descriptors[client->descriptors_sent]));
  for (auto& t : threads) {
    client->snapshot.push_back(capture_range(*t, 0));
    const RecordRange& r = client->snapshot.back();
    client->seq_sent.push_back(r.to);
    client->thread_serial_sent.push_back(r.name_serial + 1);
  }
  clients.push_back(std::move(client));
  client_count = (int)clients.size();
}

// Writes the next piece of the client's snapshot; when it is all out, the
// snapshot end and the batches of the frames that ended meanwhile follow.
void continue_snapshot(Client& c) {
  std::vector<uint8_t> piece;
  RecordWriter w(piece);
  while (c.snapshot_thread < c.snapshot.size() && piece.size() < SNAPSHOT_PIECE) {
    const RecordRange& r = c.snapshot[c.snapshot_thread];
    if (!c.snapshot_thread_started) {
      w.thread(r.thread);
      c.snapshot_seq = r.from;
      c.snapshot_thread_started = true;
    }
    for (; c.snapshot_seq < r.to && piece.size() < SNAPSHOT_PIECE; c.snapshot_seq++)
      w.block(r.at(c.snapshot_seq));
    if (c.snapshot_seq == r.to) {
      c.snapshot_thread++;
      c.snapshot_thread_started = false;
    }
  }
  bool done = c.snapshot_thread == c.snapshot.size();
  if (done)
    c.snapshot.clear();  // lets go of the chunks
  std::lock_guard<std::mutex> guard(registry_lock);
  c.outbox.insert(c.outbox.end(), piece.begin(), piece.end());
  if (!done)
    return;
  RecordWriter out(c.outbox);
  out.snapshotEnd();
  for (uint64_t frame_end : c.frames_waiting) {
    append_news(c, out, frame_end);
    out.frameEnd(frame_end);
  }
  c.frames_waiting.clear();
  c.streaming = true;
}

// Sends what the socket takes; false when the client is gone. Registry lock held.
bool send_waiting(Client& c) {
  while (c.waiting() > 0) {
    ssize_t n = send(c.fd, c.outbox.data() + c.outbox_sent, c.waiting(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0)
      return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    c.outbox_sent += (size_t)n;
  }
  c.outbox.clear();
  c.outbox_sent = 0;
  return true;
}

void close_client(size_t i) {
  close(clients[i]->fd);
  clients.erase(clients.begin() + (long)i);
  client_count = (int)clients.size();
}

void listener_main() {
  AcceptBackoff backoff;
  while (!listener_stop) {
    int accept_wait = accept_wait_left(backoff);
    std::vector<pollfd> fds;
    fds.push_back(pollfd{listen_fd, (short)(accept_wait ? 0 : POLLIN), 0});
    fds.push_back(pollfd{wake_pipe[0], POLLIN, 0});
    {
      std::lock_guard<std::mutex> guard(registry_lock);
      for (auto& c : clients)
        fds.push_back(pollfd{c->fd, (short)(POLLIN | (c->waiting() || !c->streaming ? POLLOUT : 0)), 0});
    }
    if (poll(fds.data(), fds.size(), accept_wait ? std::min(accept_wait, 200) : 200) < 0 && errno != EINTR)
      break;
    if (fds[1].revents & POLLIN) {
      char buf[64];
      while (read(wake_pipe[0], buf, sizeof(buf)) > 0) {
      }
    }
    if (fds[0].revents & POLLIN)
      accept_client(backoff);
    // Only this thread adds or removes clients, so the pointers stay valid while the
    // snapshot pieces are written without the lock.
    std::vector<Client*> snapshotting;
    {
      std::lock_guard<std::mutex> guard(registry_lock);
      for (auto& c : clients)
        if (!c->streaming && c->waiting() < SNAPSHOT_PIECE)
          snapshotting.push_back(c.get());
    }
    for (Client* c : snapshotting)
      continue_snapshot(*c);
    std::vector<size_t> not_reading;
    {
      std::lock_guard<std::mutex> guard(registry_lock);
      for (size_t i = clients.size(); i-- > 0;) {
        Client& c = *clients[i];
        char scratch[256];
        // Clients send nothing; a read of 0 bytes means the client went away.
        ssize_t r = recv(c.fd, scratch, sizeof(scratch), MSG_DONTWAIT);
        bool gone = r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) || !send_waiting(c);
        bool stuck = !gone && c.waiting() >= backlog_limit;
        if (stuck)
          not_reading.push_back(c.waiting());
        if (gone || stuck)
          close_client(i);
      }
    }
    for (size_t bytes : not_reading)
      log_line("profiler: dropped a client that does not read (%zu bytes were waiting for it)", bytes);
  }
}

void end_frame(uint64_t time) {
  {
    std::lock_guard<std::mutex> guard(frames_lock);
    frame_ends.push_back(time);
  }
  if (client_count == 0)
    return;
  {
    std::lock_guard<std::mutex> guard(registry_lock);
    for (auto& c : clients) {
      if (!c->streaming) {
        c->frames_waiting.push_back(time);
        continue;
      }
      RecordWriter w(c->outbox);
      append_news(*c, w, UINT64_MAX);
      w.frameEnd(time);
    }
  }
  wake_listener();
}

}  // namespace

uint64_t now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec;
}

const BlockDescriptor* registerDescription(const char* name, color_t color, const char* file, int line,
                                           BlockKind kind) {
  std::lock_guard<std::mutex> guard(registry_lock);
  auto d = std::make_unique<BlockDescriptor>();
  d->id = (uint32_t)descriptors.size();
  d->kind = kind;
  d->color = color;
  d->line = line;
  d->name = name ? name : "";
  d->file = file ? file : "";
  descriptors.push_back(std::move(d));
  return descriptors.back().get();
}

void beginBlock(const BlockDescriptor* desc) {
  ThreadData& t = current_thread();
  bool on = enabled.load(std::memory_order_relaxed) && desc;
  t.stack.push_back(OpenBlock{desc, on ? now() : 0, on});
}

void endBlock() {
  ThreadData& t = current_thread();
  if (t.stack.empty())
    return;
  OpenBlock open = t.stack.back();
  t.stack.pop_back();
  if (open.recorded)
    record(t, BlockRecord{t.index, open.desc->id, open.begin, now(), (uint16_t)t.stack.size()});
}

void storeEvent(const BlockDescriptor* desc) {
  if (!desc || !enabled.load(std::memory_order_relaxed))
    return;
  ThreadData& t = current_thread();
  uint64_t time = now();
  record(t, BlockRecord{t.index, desc->id, time, time, (uint16_t)t.stack.size()});
  if (desc->kind == BlockKind::Frame)
    end_frame(time);
}

void setEnabled(bool on) { enabled = on; }
bool isEnabled() { return enabled; }

bool startListen(uint16_t port) {
  if (listen_fd >= 0)
    return true;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  int yes = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, (sockaddr*)&addr, sizeof(addr)) != 0 || listen(fd, 4) != 0) {
    log_line("profiler: can't listen on 127.0.0.1:%u: %s", port, strerror(errno));
    close(fd);
    return false;
  }
  if (pipe2(wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    close(fd);
    return false;
  }
  listen_fd = fd;
  listener_stop = false;
  refusing_clients = false;
  listener = std::thread(listener_main);
  return true;
}

void stopListen() {
  if (listen_fd < 0)
    return;
  listener_stop = true;
  wake_listener();
  listener.join();
  {
    std::lock_guard<std::mutex> guard(registry_lock);
    // Whatever is still queued gets one last try before the connection closes.
    for (auto& c : clients)
      send_waiting(*c);
    while (!clients.empty())
      close_client(clients.size() - 1);
  }
  close(listen_fd);
  close(wake_pipe[0]);
  close(wake_pipe[1]);
  listen_fd = wake_pipe[0] = wake_pipe[1] = -1;
}

bool isListening() { return listen_fd >= 0; }
int connectedClients() { return client_count; }

const char* registerThread(const char* name) {
  ThreadData& t = current_thread();
  std::lock_guard<std::mutex> guard(t.lock);
  if (!t.registered) {
    t.name = name ? name : "";
    t.registered = true;
    t.name_serial++;
  }
  return t.name.c_str();
}

bool isThreadRegistered() { return this_thread && this_thread->registered; }

uint32_t dumpBlocksToFile(const char* path) {
  std::vector<uint8_t> bytes;
  RecordWriter w(bytes);
  w.header(1000000000ull, start_time);
  std::vector<RecordRange> ranges;
  {
    std::lock_guard<std::mutex> guard(registry_lock);
    if (frames_dropped || blocks_dropped)
      w.dropped(frames_dropped, blocks_dropped);
    for (auto& d : descriptors)
      w.descriptor(descriptor_record(*d));
    for (auto& t : threads)
      ranges.push_back(capture_range(*t, 0));
  }
  uint32_t count = 0;
  for (const RecordRange& r : ranges) {
    w.thread(r.thread);
    for (uint64_t seq = r.from; seq < r.to; seq++)
      w.block(r.at(seq));
    count += (uint32_t)(r.to - r.from);
  }
  w.end();
  FILE* f = path ? fopen(path, "wb") : nullptr;
  if (!f)
    return 0;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fclose(f) == 0 && ok;
  return ok ? count : 0;
}

void clearRecorded() {
  std::lock_guard<std::mutex> trimming(trim_lock);
  std::lock_guard<std::mutex> guard(registry_lock);
  for (auto& t : threads) {
    std::lock_guard<std::mutex> tguard(t->lock);
    history_bytes -= t->chunks.size() * sizeof(Chunk);
    t->chunks.clear();
    t->first_seq = t->next_seq;
  }
  std::lock_guard<std::mutex> frames_guard(frames_lock);
  frame_ends.clear();
  frames_dropped = 0;
  blocks_dropped = 0;
}

void setLogFunction(LogFunction log) { log_function = log; }

void setLimits(size_t history, size_t client_backlog) {
  history_limit = history ? history : DEFAULT_HISTORY_LIMIT;
  backlog_limit = client_backlog ? client_backlog : DEFAULT_BACKLOG_LIMIT;
}

}  // namespace profiler
