#pragma once
// A client of the profiler's listener on the loopback interface.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "libs/profiler/prof_format.h"

namespace loopback_client {

// A connected socket whose reads give up after five seconds, or -1.
inline int connect(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0)
    return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, (sockaddr*)&addr, sizeof(addr)) != 0) {
    close(fd);
    return -1;
  }
  timeval tv{5, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
  return fd;
}

// Reads into the reader until the condition holds; false when the stream stops or
// cannot be read.
template <class Done>
bool read_until(int fd, profiler::RecordReader& reader, Done done) {
  uint8_t buf[4096];
  while (!done()) {
    ssize_t n = recv(fd, buf, sizeof(buf), 0);
    if (n <= 0 || !reader.feed(buf, (size_t)n))
      return false;
  }
  return true;
}

}  // namespace loopback_client
