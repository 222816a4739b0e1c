#include "handoff.h"

#include <signal.h>
#include <spawn.h>
#include <sys/msg.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace pickbox {

std::vector<std::string> handoff_argv(key_t qid, const std::string& item, const std::string& tag) {
  return {"mqtool", "-s", std::to_string(qid), item, tag};
}

bool queue_full(key_t qid, std::size_t size) {
  const int id = msgget(qid, 0);
  msqid_ds ds{};
  if (id < 0 || msgctl(id, IPC_STAT, &ds) != 0) return false;
  // The kernel's own test: the bytes, and one message a byte at most.
  return ds.msg_cbytes + size > ds.msg_qbytes || ds.msg_qnum + 1 > ds.msg_qbytes;
}

namespace {

constexpr long kWaitingNs = 250'000'000;

bool ignored(const struct sigaction& sa) { return !(sa.sa_flags & SA_SIGINFO) && sa.sa_handler == SIG_IGN; }

// A SIGTERM or SIGHUP that comes while the command runs goes on to it, so
// that no command outlives us with a choice the caller has given up on.
volatile std::sig_atomic_t g_passed = 0;
volatile std::sig_atomic_t g_command = 0;  // its pid, once started
void pass_on(int sig) {
  const int saved_errno = errno;
  g_passed = sig;
  if (g_command > 0) ::kill(static_cast<pid_t>(g_command), sig);
  errno = saved_errno;
}
constexpr int kPassedOn[] = {SIGTERM, SIGHUP};

}  // namespace

CommandResult run_command(const std::vector<std::string>& argv, const std::function<bool()>& waiting) {
  if (argv.empty()) return {"no command to run"};
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  struct sigaction ign {}, old_int {}, old_quit {}, old_chld {};
  ign.sa_handler = SIG_IGN;
  sigemptyset(&ign.sa_mask);
  sigaction(SIGINT, &ign, &old_int);
  sigaction(SIGQUIT, &ign, &old_quit);
  // An inherited SIG_IGN for SIGCHLD would let the kernel reap the command
  // and take its status with it.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(SIGCHLD, &dfl, &old_chld);
  sigset_t chld, old_mask;
  sigemptyset(&chld);
  sigaddset(&chld, SIGCHLD);
  sigprocmask(SIG_BLOCK, &chld, &old_mask);

  // Signals our caller left ignored stay ignored for the command too.
  sigset_t defaults;
  sigemptyset(&defaults);
  if (!ignored(old_int)) sigaddset(&defaults, SIGINT);
  if (!ignored(old_quit)) sigaddset(&defaults, SIGQUIT);
  struct sigaction pass {}, old_passed[2] {};
  pass.sa_handler = pass_on;
  sigemptyset(&pass.sa_mask);
  g_passed = 0;
  g_command = 0;
  for (int i = 0; i < 2; ++i) {
    sigaction(kPassedOn[i], nullptr, &old_passed[i]);
    if (ignored(old_passed[i])) continue;
    sigaddset(&defaults, kPassedOn[i]);
    sigaction(kPassedOn[i], &pass, nullptr);
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &old_mask);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  CommandResult result;
  const std::string& name = argv[0];
  const int spawn_error = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
  if (spawn_error != 0) {
    result.reason = "cannot start " + name + " (looked up on PATH): " + std::strerror(spawn_error);
  } else {
    g_command = pid;
    if (g_passed != 0) ::kill(pid, g_passed);  // it came before the command had a pid
    int status = 0;
    pid_t got = 0;
    bool spoken = !waiting || waiting();
    // SIGCHLD is blocked: it is taken here, or the wait times out to ask again.
    while (!spoken) {
      const timespec tick{0, kWaitingNs};
      if (sigtimedwait(&chld, nullptr, &tick) == SIGCHLD) break;
      if ((got = waitpid(pid, &status, WNOHANG)) != 0) break;
      spoken = waiting();
    }
    while (got == 0 && (got = waitpid(pid, &status, 0)) < 0 && errno == EINTR) got = 0;
    if (got != pid)
      result.reason = "lost track of " + name + ": " + std::strerror(errno);
    else if (WIFSIGNALED(status))
      result.reason = name + " was killed by signal " + std::to_string(WTERMSIG(status)) + " (" + strsignal(WTERMSIG(status)) + ")";
    // An interrupt from the keyboard reached the command and us alike: it is
    // the user's, not a failure of the command.
    if (got == pid && WIFSIGNALED(status) && (WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGQUIT))
      result.signal = WTERMSIG(status);
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
      result.reason = name + " ended with status " + std::to_string(WEXITSTATUS(status));
  }
  posix_spawnattr_destroy(&attr);

  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
  for (int i = 0; i < 2; ++i) sigaction(kPassedOn[i], &old_passed[i], nullptr);
  g_command = 0;
  if (g_passed != 0) result.signal = g_passed;
  sigaction(SIGCHLD, &old_chld, nullptr);
  sigprocmask(SIG_SETMASK, &old_mask, nullptr);
  return result;
}

}  // namespace pickbox
