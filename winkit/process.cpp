#include "process.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace winkit {

void say(const char* prog, const std::string& reason) { std::fprintf(stderr, "%s: %s\n", prog, reason.c_str()); }

void die_by_signal(int sig) {
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

bool write_all(int fd, const char* bytes, std::size_t len) {
  while (len > 0) {
    const ssize_t n = ::write(fd, bytes, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    len -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace winkit
