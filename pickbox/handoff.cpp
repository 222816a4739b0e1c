#include "handoff.h"

#include <signal.h>
#include <spawn.h>
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

namespace {

constexpr long kWaitingNs = 250'000'000;

bool ignored(const struct sigaction& sa) { return !(sa.sa_flags & SA_SIGINFO) && sa.sa_handler == SIG_IGN; }

// A signal that would end us, coming while the command runs, goes on to it,
// so that no command outlives us with a choice the caller has given up on,
// and we then end by it. An interrupt from the keyboard reaches the command
// anyway; one sent to us alone must end the hand-off just the same.
volatile std::sig_atomic_t g_passed = 0;
volatile std::sig_atomic_t g_command = 0;  // its pid, once started
void pass_on(int sig) {
  const int saved_errno = errno;
  g_passed = sig;
  if (g_command > 0) ::kill(static_cast<pid_t>(g_command), sig);
  errno = saved_errno;
}
constexpr int kPassedOn[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr int kPassedCount = sizeof kPassedOn / sizeof kPassedOn[0];

// While the command runs: the signals that would end us passed on (unless
// the caller ignores them), SIGCHLD at its default (an inherited SIG_IGN
// would let the kernel reap the command, status and all) and blocked. The
// command gets the caller's mask and defaults for what the caller did not ignore.
class SignalsWhileRunning {
 public:
  SignalsWhileRunning() {
    struct sigaction dfl {}, pass {};
    dfl.sa_handler = SIG_DFL;
    pass.sa_handler = pass_on;
    for (struct sigaction* sa : {&dfl, &pass}) sigemptyset(&sa->sa_mask);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaction(SIGCHLD, &dfl, &old_chld_);
    sigemptyset(&chld_);
    sigaddset(&chld_, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld_, &old_mask_);
    g_passed = 0;
    g_command = 0;
    for (int i = 0; i < kPassedCount; ++i) {
      sigaction(kPassedOn[i], nullptr, &old_passed_[i]);
      if (ignored(old_passed_[i])) continue;
      sigaddset(&defaults, kPassedOn[i]);
      sigaction(kPassedOn[i], &pass, nullptr);
    }
    posix_spawnattr_init(&attr_);
    posix_spawnattr_setsigdefault(&attr_, &defaults);
    posix_spawnattr_setsigmask(&attr_, &old_mask_);
    posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  }
  ~SignalsWhileRunning() {
    posix_spawnattr_destroy(&attr_);
    for (int i = 0; i < kPassedCount; ++i) sigaction(kPassedOn[i], &old_passed_[i], nullptr);
    g_command = 0;
    sigaction(SIGCHLD, &old_chld_, nullptr);
    sigprocmask(SIG_SETMASK, &old_mask_, nullptr);
  }
  SignalsWhileRunning(const SignalsWhileRunning&) = delete;
  SignalsWhileRunning& operator=(const SignalsWhileRunning&) = delete;

  const posix_spawnattr_t* attr() const { return &attr_; }
  const sigset_t& chld() const { return chld_; }

 private:
  struct sigaction old_chld_ {}, old_passed_[kPassedCount] {};
  sigset_t chld_, old_mask_;
  posix_spawnattr_t attr_;
};

// Waits for pid to end, asking `waiting` once and then about every quarter
// second until it answers true; what waitpid gave.
pid_t wait_for(pid_t pid, const sigset_t& chld, const std::function<bool()>& waiting, int& status) {
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
  return got;
}

// How a command that ended with this wait status went.
CommandResult exit_status_words(const std::string& name, int status) {
  CommandResult result;
  if (WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    result.reason = name + " was killed by signal " + std::to_string(sig) + " (" + strsignal(sig) + ")";
    // An interrupt from the keyboard reached the command and us alike: it is
    // the user's, not a failure of the command.
    if (sig == SIGINT || sig == SIGQUIT) result.signal = sig;
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
    result.reason = name + " ended with status " + std::to_string(WEXITSTATUS(status));
  }
  return result;
}

}  // namespace

CommandResult run_command(const std::vector<std::string>& argv, const std::function<bool()>& waiting) {
  if (argv.empty()) return {"no command to run"};
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  CommandResult result;
  const std::string& name = argv[0];
  {
    const SignalsWhileRunning signals;
    pid_t pid = -1;
    const int spawn_error = posix_spawnp(&pid, args[0], nullptr, signals.attr(), args.data(), environ);
    if (spawn_error != 0) {
      result.reason = "cannot start " + name + " (looked up on PATH): " + std::strerror(spawn_error);
    } else {
      g_command = pid;
      if (g_passed != 0) ::kill(pid, g_passed);  // it came before the command had a pid
      int status = 0;
      if (wait_for(pid, signals.chld(), waiting, status) == pid)
        result = exit_status_words(name, status);
      else
        result.reason = "lost track of " + name + ": " + std::strerror(errno);
    }
  }
  if (g_passed != 0) result.signal = g_passed;
  return result;
}

}  // namespace pickbox
