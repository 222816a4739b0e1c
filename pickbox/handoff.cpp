#include "handoff.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace pickbox {

std::vector<std::string> handoff_argv(int qid, const std::string& item, const std::string& tag) {
  return {"mqtool", "-s", std::to_string(qid), item, tag};
}

namespace {

bool ignored(const struct sigaction& sa) { return !(sa.sa_flags & SA_SIGINFO) && sa.sa_handler == SIG_IGN; }

}  // namespace

bool run_command(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
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
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setsigmask(&attr, &old_mask);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  bool ok = false;
  if (posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ) == 0) {
    int status = 0;
    pid_t got;
    while ((got = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    ok = got == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  posix_spawnattr_destroy(&attr);

  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
  sigaction(SIGCHLD, &old_chld, nullptr);
  sigprocmask(SIG_SETMASK, &old_mask, nullptr);
  return ok;
}

}  // namespace pickbox
