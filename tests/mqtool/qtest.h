// Helpers for the queue tests: keys that each test process owns and removes,
// user `nobody` for the permission cases, and waiting until a process or
// thread is blocked in msgrcv.
#pragma once

#include <dirent.h>
#include <grp.h>
#include <signal.h>
#include <sys/msg.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "nobody.h"
#include "proc.h"
#include "queues.h"
#include "testkey.h"

namespace qtest {

inline key_t key_of(int n) { return test_key(n); }

using testsupport::queued;
using testsupport::remove_queue;

inline bool queue_exists(key_t key) { return msgget(key, 0) >= 0; }

// Keys whose queues go when the guard does, also when a test stops early.
struct RemovedAfter {
  explicit RemovedAfter(std::vector<key_t> k = {}) : keys(std::move(k)) {}
  ~RemovedAfter() {
    for (key_t k : keys) remove_queue(k);
  }
  RemovedAfter(const RemovedAfter&) = delete;
  RemovedAfter& operator=(const RemovedAfter&) = delete;
  std::vector<key_t> keys;
};

// Queues under key 0 (private ones) as the system lists them.
inline int private_queues() {
  std::ifstream f("/proc/sysvipc/msg");
  std::string line;
  std::getline(f, line);  // heading
  int n = 0;
  long k = 0;
  while (f >> k) {
    if (k == 0) ++n;
    std::getline(f, line);
  }
  return n;
}

// A test that uses queues: key(n) hands out key n, and every queue under them
// is removed before the test (a stale one of an earlier process with the same
// pid) and after it, whether it passed or not.
class QueueTest : public ::testing::Test {
 protected:
  key_t key(int n) {
    key_t k = key_of(n);
    if (std::find(used_.begin(), used_.end(), k) == used_.end()) {
      remove_queue(k);
      used_.push_back(k);
    }
    return k;
  }
  std::string key_arg(int n) { return std::to_string(key(n)); }
  void TearDown() override {
    for (key_t k : used_) remove_queue(k);
  }

 private:
  std::vector<key_t> used_;
};

inline bool is_root() { return geteuid() == 0; }

// Runs fn in a child process that has become user nobody, and gives fn's
// result as the child's exit status (255 when the switch failed).
inline int as_nobody(const std::function<int()>& fn) {
  uid_t uid;
  gid_t gid;
  if (!testsupport::nobody_ids(uid, gid)) return 255;
  const auto r = testsupport::run_function([&] {
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) return 255;
    return fn();
  });
  return r.exit_code < 0 ? 255 : r.exit_code;
}

// Why a test that needs user nobody cannot run here, or "" when it can.
inline std::string nobody_unavailable() {
  uid_t uid;
  gid_t gid;
  if (!is_root())
    return "not root: as any other user the test cannot make a queue that the caller may not use, nor run as nobody";
  if (!testsupport::nobody_ids(uid, gid)) return "there is no user nobody";
  return "";
}

// Skips the test where it cannot run as user nobody.
#define QTEST_NEEDS_NOBODY()                                             \
  if (const std::string nobody_why = qtest::nobody_unavailable(); !nobody_why.empty()) \
  GTEST_SKIP() << nobody_why

// True once thread or process id is blocked in system call nr; false after
// timeout_ms.
inline bool wait_in_syscall(pid_t id, long nr, int timeout_ms = 10000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  const std::string path = "/proc/" + std::to_string(id) + "/syscall";
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream f(path);
    long now = -1;
    if (f >> now && now == nr) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

// True once thread or process id is blocked in msgrcv; false after timeout_ms.
inline bool wait_in_msgrcv(pid_t id, int timeout_ms = 10000) { return wait_in_syscall(id, SYS_msgrcv, timeout_ms); }

// The parent of process pid, or -1.
inline pid_t parent_of(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/status");
  long parent = -1;
  for (std::string field; f >> field && field != "PPid:";) {
  }
  f >> parent;
  return static_cast<pid_t>(parent);
}

// The pid of a running process whose arguments are exactly argv (and, when
// parent is given, a child of parent: other test runs may run the same), or -1.
inline pid_t find_process(const std::vector<std::string>& argv, pid_t parent = 0) {
  std::string want;
  for (const auto& a : argv) want += a + '\0';
  DIR* d = opendir("/proc");
  if (!d) return -1;
  pid_t found = -1;
  while (dirent* e = readdir(d)) {
    char* end = nullptr;
    long pid = strtol(e->d_name, &end, 10);
    if (*end || pid <= 0) continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/cmdline", std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    if (ss.str() == want && (parent == 0 || parent_of(static_cast<pid_t>(pid)) == parent)) {
      found = static_cast<pid_t>(pid);
      break;
    }
  }
  closedir(d);
  return found;
}

// Waits until a process running argv is blocked in system call nr; its pid, or -1.
inline pid_t wait_for_process_in(const std::vector<std::string>& argv, long nr, int timeout_ms = 10000) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    pid_t pid = find_process(argv);
    if (pid > 0 && wait_in_syscall(pid, nr, 50)) return pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return -1;
}

// Waits until a process running argv is blocked in msgrcv; its pid, or -1.
inline pid_t wait_for_receiver(const std::vector<std::string>& argv, int timeout_ms = 10000) {
  return wait_for_process_in(argv, SYS_msgrcv, timeout_ms);
}

inline void on_alarm(int) {}

// From now on SIGALRM comes every 100 ms to a handler installed without
// SA_RESTART, so that a blocked msgrcv fails with EINTR (the repeats cover a
// first one that comes before the wait). For a child process: it is never
// undone.
inline void interrupt_waits() {
  struct sigaction sa {};
  sa.sa_handler = on_alarm;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGALRM, &sa, nullptr);
  itimerval tv{{0, 100000}, {0, 100000}};
  setitimer(ITIMER_REAL, &tv, nullptr);
}

// Waits up to ms for done() to hold; done()'s last answer.
inline bool within(int ms, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

// Processes of session sid that still run (an ended one that waits to be
// reaped does not).
inline int running_in_session(pid_t sid) {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream f(entry.path() / "stat");
    std::string stat;
    char state = 0;
    long session = 0;
    if (isdigit(static_cast<unsigned char>(entry.path().filename().string()[0])) && std::getline(f, stat) &&
        sscanf(stat.c_str() + stat.rfind(')'), ") %c %*d %*d %ld", &state, &session) == 2)
      n += session == sid && state != 'Z';
  }
  return n;
}

// errno as err_code writes it.
inline std::string code_of(int err) {
  char buf[16];
  snprintf(buf, sizeof buf, "%05d", err);
  return buf;
}

}  // namespace qtest
