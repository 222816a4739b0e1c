#include "handoff.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <vector>


using pickbox::run_command;

namespace {

// Restores a signal's disposition when a test ends, however it ends.
struct KeepSignal {
  int sig;
  struct sigaction saved {};
  explicit KeepSignal(int s) : sig(s) { sigaction(sig, nullptr, &saved); }
  ~KeepSignal() { sigaction(sig, &saved, nullptr); }
};

void set_handler(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

void mark(int) {}

}  // namespace

TEST(RunCommand, SuccessOnlyWhenStartedAndExitedZeroAndEachFailureSaysWhy) {
  EXPECT_EQ(run_command({"true"}).reason, "");
  EXPECT_EQ(run_command({"false"}).reason, "false ended with status 1");
  EXPECT_EQ(run_command({"sh", "-c", "exit 3"}).reason, "sh ended with status 3");
  EXPECT_EQ(run_command({"sh", "-c", "kill -TERM $$"}).reason, "sh was killed by signal 15 (Terminated)");
  const auto killed = run_command({"sh", "-c", "kill -KILL $$"});
  EXPECT_EQ(killed.reason, "sh was killed by signal 9 (Killed)");
  EXPECT_EQ(killed.signal, 0);
  EXPECT_EQ(run_command({"jux-no-such-command-here"}).reason,
            "cannot start jux-no-such-command-here (looked up on PATH): No such file or directory");
  EXPECT_FALSE(run_command({}).ok());
}

TEST(RunCommand, ArgumentsArriveLiterally) {
  EXPECT_TRUE(run_command({"sh", "-c", R"([ $# -eq 3 ] && [ "$1" = 'a b;*$(id)' ] && [ -z "$2" ] && [ "$3" = '`x`' ])",
                           "sh", "a b;*$(id)", "", "`x`"})
                  .ok());
}

TEST(RunCommand, StartsTheCommandCleanAndPutsOurSignalsBack) {
  KeepSignal keep_int(SIGINT), keep_quit(SIGQUIT), keep_chld(SIGCHLD);
  set_handler(SIGINT, SIG_DFL);
  // The command gets its usual default.
  EXPECT_FALSE(run_command({"sh", "-c", "kill -INT $$; exit 0"}).ok());
  // It starts with nothing blocked, SIGCHLD included.
  // (Read with builtins only: the shell blocks signals while it waits for a child.)
  EXPECT_TRUE(run_command({"sh", "-c",
                           "while read -r k v; do [ \"$k\" != SigBlk: ] || [ \"$v\" = 0000000000000000 ] || exit 1; "
                           "done < /proc/$$/status"})
                  .ok());

  // Afterwards our own dispositions and mask are back.
  set_handler(SIGINT, mark);
  EXPECT_TRUE(run_command({"true"}).ok());
  struct sigaction now {};
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, &mark);
  sigset_t mask;
  sigprocmask(SIG_SETMASK, nullptr, &mask);
  EXPECT_FALSE(sigismember(&mask, SIGCHLD));
}

// What the caller ignores stays ignored: an interrupt, and its children's
// ends (whose status is still had).
TEST(RunCommand, CallerIgnoredSignalsStayIgnored) {
  KeepSignal keep_int(SIGINT), keep_chld(SIGCHLD);
  set_handler(SIGINT, SIG_IGN);
  set_handler(SIGCHLD, SIG_IGN);
  EXPECT_TRUE(run_command({"sh", "-c", "kill -INT $$; exit 0"}).ok());
  EXPECT_TRUE(run_command({"true"}).ok());
  EXPECT_FALSE(run_command({"false"}).ok());
  struct sigaction now {};
  sigaction(SIGCHLD, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_IGN);
}

TEST(RunCommand, InterruptsAndTerminationsAreTheCallersToEndBy) {
  KeepSignal keep_int(SIGINT), keep_term(SIGTERM), keep_hup(SIGHUP);
  set_handler(SIGINT, SIG_DFL);
  set_handler(SIGTERM, SIG_DFL);
  set_handler(SIGHUP, SIG_DFL);
  // The command died by the keyboard's interrupt.
  EXPECT_EQ(run_command({"sh", "-c", "kill -INT $$"}).signal, SIGINT);
  // A termination for us goes on to the command, which does not outlive it.
  const auto started = std::chrono::steady_clock::now();
  const auto term = run_command({"sh", "-c", "kill -TERM $PPID; sleep 20"});
  EXPECT_EQ(term.signal, SIGTERM);
  EXPECT_FALSE(term.ok());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  // So does an interrupt sent to us alone.
  for (int sig : {SIGHUP, SIGINT, SIGQUIT}) {
    KeepSignal keep(sig);
    set_handler(sig, SIG_DFL);
    EXPECT_EQ(run_command({"sh", "-c", "kill -" + std::to_string(sig) + " $PPID; sleep 20"}).signal, sig);
  }
  // Our handlers are back afterwards.
  struct sigaction now {};
  sigaction(SIGTERM, nullptr, &now);
  EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(RunCommand, WaitingIsAskedUntilItHasSpokenAndTheCommandStillEndsAsItDid) {
  KeepSignal keep_term(SIGTERM);
  set_handler(SIGTERM, SIG_DFL);
  struct Case {
    std::vector<std::string> argv;
    int speaks_on;  // the call that answers true
    int least_calls, most_calls;
    std::string why;
    int signal;
  };
  const Case cases[] = {
      {{"true"}, 1, 1, 1, "", 0},
      {{"sh", "-c", "sleep 1; exit 3"}, 99, 2, 99, "sh ended with status 3", 0},  // not ended by the first tick
      {{"sh", "-c", "sleep 1"}, 2, 2, 2, "", 0},
      {{"sh", "-c", "kill -TERM $PPID; sleep 20"}, 99, 1, 99, "sh was killed by signal 15 (Terminated)", SIGTERM},
  };
  for (const auto& c : cases) {
    int calls = 0;
    const auto r = run_command(c.argv, [&] { return ++calls >= c.speaks_on; });
    EXPECT_GE(calls, c.least_calls) << c.argv.back();
    EXPECT_LE(calls, c.most_calls) << c.argv.back();
    EXPECT_EQ(r.reason, c.why) << c.argv.back();
    EXPECT_EQ(r.signal, c.signal) << c.argv.back();
  }
}
