// Prints a profiler dump file, or a live profiler stream, as a per-block table.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "libs/profiler/prof_format.h"
#include "tools/common/arg_checks.h"

namespace {

constexpr const char* TOOL = "prof_reader";
constexpr uint64_t MAX_FRAMES = 2147483647;

int usage() {
  fprintf(stderr,
          "usage: prof_reader FILE\n"
          "       prof_reader --live [HOST:]PORT [--frames N]\n"
          "PORT is 1 to 65535, N (frames to read before the table) 1 to %llu\n",
          (unsigned long long)MAX_FRAMES);
  return BAD_ARGUMENT;
}

int print_file(const char* path) {
  profiler::ProfileData data;
  std::string error;
  if (!profiler::read_dump_file(path, data, error)) {
    fprintf(stderr, "prof_reader: %s: %s\n", path, error.c_str());
    return 1;
  }
  fputs(profiler::format_block_table(data).c_str(), stdout);
  return 0;
}

// "[HOST:]PORT" split, the port checked whole.
bool address_arg(const std::string& where, std::string& host, std::string& port) {
  host = "127.0.0.1";
  port = where;
  size_t colon = where.rfind(':');
  if (colon != std::string::npos) {
    host = where.substr(0, colon);
    port = where.substr(colon + 1);
  }
  uint64_t number = 0;
  if (host.empty()) {
    fprintf(stderr, "%s: --live: no host before ':' in '%s'\n", TOOL, where.c_str());
    return false;
  }
  return whole_number_arg(TOOL, "--live PORT", port.c_str(), 1, 65535, number);
}

int connect_to(const std::string& host, const std::string& port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0 || !found)
    return -1;
  int fd = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
    close(fd);
    fd = -1;
  }
  freeaddrinfo(found);
  return fd;
}

int print_live(const std::string& where, uint64_t max_frames) {
  std::string host, port;
  if (!address_arg(where, host, port))
    return usage();
  int fd = connect_to(host, port);
  if (fd < 0) {
    fprintf(stderr, "prof_reader: can't connect to %s\n", where.c_str());
    return 1;
  }
  profiler::ProfileData data;
  profiler::RecordReader reader(data);
  bool snapshot_printed = false;
  uint32_t last_printed_frame = 0;
  uint8_t buf[65536];
  for (;;) {
    ssize_t n = recv(fd, buf, sizeof(buf), 0);
    if (n <= 0)
      break;
    if (!reader.feed(buf, (size_t)n)) {
      fprintf(stderr, "prof_reader: bad stream: %s\n", reader.error().c_str());
      close(fd);
      return 1;
    }
    if (data.snapshot_done && !snapshot_printed) {
      printf("== recorded before connecting\n%s", profiler::format_block_table(data).c_str());
      snapshot_printed = true;
    }
    if (max_frames > 0 && data.frames >= max_frames)
      break;
    if (data.frames >= last_printed_frame + 100) {
      last_printed_frame = data.frames;
      printf("== after %u frames\n%s", data.frames, profiler::format_block_table(data).c_str());
      fflush(stdout);
    }
  }
  close(fd);
  printf("== total after %u frames\n%s", data.frames, profiler::format_block_table(data).c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && argv[1][0] != '-')
    return regular_file_arg(TOOL, "FILE", argv[1]) ? print_file(argv[1]) : usage();
  if (argc >= 3 && strcmp(argv[1], "--live") == 0) {
    uint64_t frames = 0;  // none: read until the game closes the stream
    if (argc == 5 && strcmp(argv[3], "--frames") == 0) {
      if (!whole_number_arg(TOOL, "--frames", argv[4], 1, MAX_FRAMES, frames))
        return usage();
    } else if (argc != 3) {
      return usage();
    }
    return print_live(argv[2], frames);
  }
  return usage();
}
