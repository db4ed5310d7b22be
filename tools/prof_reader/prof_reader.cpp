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

namespace {

int usage() {
  fprintf(stderr,
          "usage: prof_reader FILE\n"
          "       prof_reader --live [HOST:]PORT [--frames N]\n");
  return 2;
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

int connect_to(const std::string& where) {
  std::string host = "127.0.0.1";
  std::string port = where;
  size_t colon = where.rfind(':');
  if (colon != std::string::npos) {
    host = where.substr(0, colon);
    port = where.substr(colon + 1);
  }
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

int print_live(const std::string& where, long max_frames) {
  int fd = connect_to(where);
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
    if (max_frames > 0 && data.frames >= (uint32_t)max_frames)
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
    return print_file(argv[1]);
  if (argc >= 3 && strcmp(argv[1], "--live") == 0) {
    long frames = 0;
    if (argc == 5 && strcmp(argv[3], "--frames") == 0)
      frames = strtol(argv[4], nullptr, 10);
    else if (argc != 3)
      return usage();
    return print_live(argv[2], frames);
  }
  return usage();
}
