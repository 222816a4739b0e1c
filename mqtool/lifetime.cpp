// The watcher that removes a queue of mqtool -n when its owner ends.
#include "lifetime.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/msg.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace lifetime {

namespace {

// How often the watcher looks whether the queue is still there: a queue
// removed by other means gives no sign of its own.
const int kCheckMs = 250;
// The watcher's one descriptor, the owner's pidfd.
const int kOwnerFd = 3;
// Forked copies of shells passed on the way up to the owner, at most.
const int kMostHops = 4;

// The parent of process pid as /proc says, or -1.
pid_t parent_of(pid_t pid) {
  char path[32], stat[512];
  snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
  FILE* f = fopen(path, "re");
  if (!f) return -1;
  size_t n = fread(stat, 1, sizeof stat - 1, f);
  fclose(f);
  stat[n] = '\0';
  // The command name in parentheses may hold anything, ")" too.
  const char* after_name = strrchr(stat, ')');
  int parent = -1;
  if (!after_name || sscanf(after_name, ") %*c %d", &parent) != 1) return -1;
  return static_cast<pid_t>(parent);
}

bool same_object(const struct stat& a, const char* path) {
  struct stat b;
  return stat(path, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The arguments of process pid, NUL-separated, in buf; their length, or -1.
long arguments_of(pid_t pid, char* buf, size_t size) {
  char path[32];
  snprintf(path, sizeof path, "/proc/%d/cmdline", static_cast<int>(pid));
  FILE* f = fopen(path, "re");
  if (!f) return -1;
  size_t n = fread(buf, 1, size, f);
  fclose(f);
  return static_cast<long>(n);
}

// Whether pid is a copy of its parent `above`, forked only to run the command
// substitution that mqtool prints into: it writes into the same pipe as mqtool
// and runs its parent's program with its parent's arguments, having executed
// nothing since the fork.
bool forked_for_substitution(pid_t pid, pid_t above) {
  struct stat out, exe;
  char path[48];
  if (fstat(1, &out) != 0 || !S_ISFIFO(out.st_mode)) return false;
  snprintf(path, sizeof path, "/proc/%d/fd/1", static_cast<int>(pid));
  if (!same_object(out, path)) return false;
  snprintf(path, sizeof path, "/proc/%d/exe", static_cast<int>(pid));
  if (stat(path, &exe) != 0) return false;
  snprintf(path, sizeof path, "/proc/%d/exe", static_cast<int>(above));
  if (!same_object(exe, path)) return false;
  static char mine[4096], theirs[4096];
  long n = arguments_of(pid, mine, sizeof mine);
  return n > 0 && arguments_of(above, theirs, sizeof theirs) == n && memcmp(mine, theirs, static_cast<size_t>(n)) == 0;
}

// Whether id still names the queue made under key: ids are used again, in
// time, after a removal.
bool still_ours(int id, key_t key) {
  struct msqid_ds ds;
  return msgctl(id, IPC_STAT, &ds) == 0 && ds.msg_perm.__key == key;
}

// Keeps only the owner's pidfd, as kOwnerFd.
void drop_descriptors(int pidfd) {
  if (pidfd != kOwnerFd) dup2(pidfd, kOwnerFd);
  if (close_range(0, kOwnerFd - 1, 0) == 0 && close_range(kOwnerFd + 1, ~0U, 0) == 0) return;
  for (int fd = 0; fd < kOwnerFd; ++fd) close(fd);
  for (long fd = kOwnerFd + 1, most = sysconf(_SC_OPEN_MAX); fd < most; ++fd) close(static_cast<int>(fd));
}

// The watcher: apart from the owner's session, terminal, signals and folder,
// so that only the owner's end, or the queue's, ends it.
// Its descriptors go last: mqtool waits for that before it answers.
[[noreturn]] void watch(int pidfd, int id, key_t key) {
  setsid();
  if (chdir("/") != 0) {
  }
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  drop_descriptors(pidfd);
  for (;;) {
    struct pollfd owner = {kOwnerFd, POLLIN, 0};
    if (poll(&owner, 1, kCheckMs) > 0) {
      if (still_ours(id, key)) msgctl(id, IPC_RMID, nullptr);
      _exit(0);
    }
    if (!still_ours(id, key)) _exit(0);
  }
}

}  // namespace

Watch tie_to_owner(int id, key_t key) {
  pid_t chain[kMostHops + 1];
  int hops = 0;
  chain[0] = getppid();
  while (hops < kMostHops) {
    pid_t above = parent_of(chain[hops]);
    if (above <= 1 || !forked_for_substitution(chain[hops], above)) break;
    chain[++hops] = above;
  }
  int pidfd = static_cast<int>(syscall(SYS_pidfd_open, chain[hops], 0));
  if (pidfd < 0) return errno == ENOSYS ? Watch::NoPidfd : errno == ESRCH ? Watch::OwnerGone : Watch::Failed;
  // Had the owner ended before its pidfd was taken, its pid could name another
  // process by now; the chain up to it would then be broken.
  bool holds = chain[0] > 1 && getppid() == chain[0];
  for (int i = 0; holds && i < hops; ++i) holds = parent_of(chain[i]) == chain[i + 1];
  if (!holds) {
    close(pidfd);
    return Watch::OwnerGone;
  }
  // mqtool goes on once the watcher has let go of its descriptors (the end of
  // the pipe), so that nothing of the caller's is held after mqtool ends.
  int apart[2];
  pid_t watcher = -1;
  if (pipe2(apart, O_CLOEXEC) == 0) {
    watcher = fork();
    if (watcher == 0) watch(pidfd, id, key);
    int err = errno;
    close(apart[1]);
    char none;
    while (watcher > 0 && read(apart[0], &none, 1) < 0 && errno == EINTR) {
    }
    close(apart[0]);
    errno = err;
  }
  int err = errno;
  close(pidfd);
  errno = err;
  return watcher > 0 ? Watch::Started : Watch::Failed;
}

}  // namespace lifetime
