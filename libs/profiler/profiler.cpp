// Recording of blocks and events per thread, the dump, and the loopback listener
// that streams them to clients.
#include "libs/profiler/profiler.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "libs/profiler/prof_format.h"

namespace profiler {

namespace {

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
  uint32_t name_serial = 0;       // grows when the name changes
  std::mutex lock;                // guards blocks (read by dumps and the listener)
  std::vector<BlockRecord> blocks;
  std::vector<OpenBlock> stack;   // touched by the owning thread only
};

struct Client {
  int fd = -1;
  std::vector<uint8_t> outbox;
  size_t descriptors_sent = 0;
  std::vector<size_t> blocks_sent;        // per thread index
  std::vector<uint32_t> thread_serial_sent;  // per thread index; 0 = never sent
};

std::mutex registry_lock;  // threads, descriptors, clients
std::vector<std::unique_ptr<ThreadData>> threads;
std::vector<std::unique_ptr<BlockDescriptor>> descriptors;
std::vector<std::unique_ptr<Client>> clients;

std::atomic<bool> enabled{false};
const uint64_t start_time = now();

thread_local ThreadData* this_thread = nullptr;

// Listener state (owned by the thread calling startListen/stopListen).
int listen_fd = -1;
int wake_pipe[2] = {-1, -1};
std::thread listener;
std::atomic<bool> listener_stop{false};
std::atomic<int> client_count{0};

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

ThreadRecord thread_record(const ThreadData& t) { return ThreadRecord{t.index, t.os_id, t.name}; }

DescriptorRecord descriptor_record(const BlockDescriptor& d) {
  return DescriptorRecord{d.id, d.color, (uint8_t)d.kind, d.line, d.name, d.file};
}

void wake_listener() {
  if (wake_pipe[1] >= 0) {
    char c = 1;
    ssize_t ignored = write(wake_pipe[1], &c, 1);
    (void)ignored;
  }
}

// Appends to a client's outbox what it has not received yet. Registry lock held.
void append_news(Client& client, RecordWriter& w) {
  for (; client.descriptors_sent < descriptors.size(); client.descriptors_sent++)
    w.descriptor(descriptor_record(*descriptors[client.descriptors_sent]));
  client.blocks_sent.resize(threads.size(), 0);
  client.thread_serial_sent.resize(threads.size(), 0);
  for (auto& t : threads) {
    std::lock_guard<std::mutex> guard(t->lock);
    if (client.thread_serial_sent[t->index] != t->name_serial + 1) {
      w.thread(thread_record(*t));
      client.thread_serial_sent[t->index] = t->name_serial + 1;
    }
    size_t& sent = client.blocks_sent[t->index];
    for (; sent < t->blocks.size(); sent++)
      w.block(t->blocks[sent]);
  }
}

void accept_client() {
  int fd = accept(listen_fd, nullptr, nullptr);
  if (fd < 0)
    return;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  auto client = std::make_unique<Client>();
  client->fd = fd;
  RecordWriter w(client->outbox);
  std::lock_guard<std::mutex> guard(registry_lock);
  w.header(1000000000ull, start_time);
  append_news(*client, w);
  w.snapshotEnd();
  clients.push_back(std::move(client));
  client_count = (int)clients.size();
}

void close_client(size_t i) {
  close(clients[i]->fd);
  clients.erase(clients.begin() + (long)i);
  client_count = (int)clients.size();
}

void listener_main() {
  while (!listener_stop) {
    std::vector<pollfd> fds;
    fds.push_back(pollfd{listen_fd, POLLIN, 0});
    fds.push_back(pollfd{wake_pipe[0], POLLIN, 0});
    {
      std::lock_guard<std::mutex> guard(registry_lock);
      for (auto& c : clients)
        fds.push_back(pollfd{c->fd, (short)(POLLIN | (c->outbox.empty() ? 0 : POLLOUT)), 0});
    }
    if (poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR)
      break;
    if (fds[1].revents & POLLIN) {
      char buf[64];
      while (read(wake_pipe[0], buf, sizeof(buf)) > 0) {
      }
    }
    if (fds[0].revents & POLLIN)
      accept_client();
    std::lock_guard<std::mutex> guard(registry_lock);
    for (size_t i = 0; i < clients.size();) {
      Client& c = *clients[i];
      bool drop = false;
      char scratch[256];
      // Clients send nothing; a read of 0 bytes means the client went away.
      ssize_t r = recv(c.fd, scratch, sizeof(scratch), MSG_DONTWAIT);
      if (r == 0 || (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
        drop = true;
      while (!drop && !c.outbox.empty()) {
        ssize_t n = send(c.fd, c.outbox.data(), c.outbox.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
          c.outbox.erase(c.outbox.begin(), c.outbox.begin() + n);
        } else {
          drop = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK;
          break;
        }
      }
      if (drop)
        close_client(i);
      else
        i++;
    }
  }
}

void end_frame(uint64_t time) {
  if (client_count == 0)
    return;
  {
    std::lock_guard<std::mutex> guard(registry_lock);
    for (auto& c : clients) {
      RecordWriter w(c->outbox);
      append_news(*c, w);
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
  if (!open.recorded)
    return;
  BlockRecord b{t.index, open.desc->id, open.begin, now(), (uint16_t)t.stack.size()};
  std::lock_guard<std::mutex> guard(t.lock);
  t.blocks.push_back(b);
}

void storeEvent(const BlockDescriptor* desc) {
  if (!desc || !enabled.load(std::memory_order_relaxed))
    return;
  ThreadData& t = current_thread();
  uint64_t time = now();
  {
    std::lock_guard<std::mutex> guard(t.lock);
    t.blocks.push_back(BlockRecord{t.index, desc->id, time, time, (uint16_t)t.stack.size()});
  }
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
    fprintf(stderr, "profiler: can't listen on 127.0.0.1:%u: %s\n", port, strerror(errno));
    close(fd);
    return false;
  }
  if (pipe2(wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    close(fd);
    return false;
  }
  listen_fd = fd;
  listener_stop = false;
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
      if (!c->outbox.empty()) {
        ssize_t ignored = send(c->fd, c->outbox.data(), c->outbox.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        (void)ignored;
      }
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
  uint32_t count = 0;
  {
    std::lock_guard<std::mutex> guard(registry_lock);
    for (auto& d : descriptors)
      w.descriptor(descriptor_record(*d));
    for (auto& t : threads) {
      std::lock_guard<std::mutex> tguard(t->lock);
      w.thread(thread_record(*t));
      for (const BlockRecord& b : t->blocks)
        w.block(b);
      count += (uint32_t)t->blocks.size();
    }
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
  std::lock_guard<std::mutex> guard(registry_lock);
  for (auto& t : threads) {
    std::lock_guard<std::mutex> tguard(t->lock);
    t->blocks.clear();
  }
  for (auto& c : clients)
    std::fill(c->blocks_sent.begin(), c->blocks_sent.end(), 0);
}

}  // namespace profiler
