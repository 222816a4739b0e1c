// The mqtool command, run as a program against real queues.
#include <fcntl.h>
#include <signal.h>
#include <sys/msg.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "mqrun.h"
#include "proc.h"
#include "qtest.h"
#include "quelib.h"

namespace {

using testsupport::ProcResult;
using testsupport::run_process;

const std::string kUsage = "Usage: mqtool [ -r que-id ] [ -s que-id]\n";

std::string mqtool() { return testsupport::bin_path("mqtool"); }

ProcResult run(std::vector<std::string> args, int timeout_ms = 10000) {
  args.insert(args.begin(), mqtool());
  testsupport::ProcOptions opts;
  opts.timeout_ms = timeout_ms;
  return run_process(args, opts);
}

std::string repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

// Takes the next type-96 message off the queue of key without waiting.
std::string take(key_t key) { return testsupport::raw_take(msgget(key, 0)).value_or("<none>"); }

// Every type-96 message on the queue of key, oldest first, taken off it.
std::vector<std::string> drain(key_t key) {
  std::vector<std::string> out;
  for (std::string m; (m = take(key)) != "<none>";) out.push_back(m);
  return out;
}

// Puts text, bytes as they are, on the queue of key as one message of type,
// making the queue; false when that failed.
bool post(key_t key, const std::string& text, long type = 96) {
  const int id = msgget(key, IPC_CREAT | 0666);
  return id >= 0 && testsupport::raw_send(id, text, type, IPC_NOWAIT) == 0;
}

// mqtool run with its standard output on fd out, or closed when out is -1.
ProcResult run_with_stdout(std::vector<std::string> args, int out) {
  args.insert(args.begin(), mqtool());
  testsupport::ProcOptions opts;
  opts.stdout_fd = out;
  return run_process(args, opts);
}

using Mqtool = qtest::QueueTest;

TEST_F(Mqtool, SendPutsBareTextOfType96OnQueueOpenToAll) {
  key_t k = key(1);
  ASSERT_EQ(run({"-s", std::to_string(k), "hello", "done"}).exit_code, 0);
  int id = msgget(k, 0);
  ASSERT_GE(id, 0);
  msqid_ds ds{};
  ASSERT_EQ(msgctl(id, IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.msg_perm.mode & 0777, 0666u);
  EXPECT_EQ(ds.msg_cbytes, 5u);
  EXPECT_EQ(take(k), "hello");
}

// Each run that makes no queue: its status, its lines on both streams, no
// queue under the key nor its negative, no private queue, and no wait.
TEST_F(Mqtool, RunsThatTouchNoQueueSayWhy) {
  key_t k = key(1);
  std::string ks = std::to_string(k);
  const std::string wraps = std::to_string(static_cast<long long>(k) + (1LL << 32));  // atoi gave k
  const std::string range = " is outside the range of keys, -2147483648 to 2147483647\n";
  const std::string below = ", below 10000, the lowest a send takes\n";
  const std::string longest = "mqtool: text longer than 1024 bytes, the most one message holds\n";
  const std::string no_queue = "CONECT ERROR:00002\n";
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string out, err;
  } rows[] = {
      {{"-s", "9999", "hello", "done"}, 1, "", "mqtool: que-id 9999 is below 10000, the lowest a send takes\n"},
      {{"-s", "-" + ks, "hello", "done"}, 1, "", "mqtool: que-id -" + ks + " is below 10000, the lowest a send takes\n"},
      {{"-s", "abc", "hello", "done"}, 1, "", "mqtool: que-id \"abc\" reads as 0" + below},
      {{"-s", "", "hello", "done"}, 1, "", "mqtool: que-id \"\" reads as 0" + below},
      {{"-s", " 50x", "hello", "done"}, 1, "", "mqtool: que-id \" 50x\" reads as 50" + below},
      {{"-s", ks, "hello"}, 1, "", "mqtool: -s takes a que-id, a text and a tag: 5 arguments in all, got 4\n"},
      {{"-s", ks, "hello", "a", "b"}, 1, "", "mqtool: -s takes a que-id, a text and a tag: 5 arguments in all, got 6\n"},
      {{"-r", ks, "extra"}, 1, "", "mqtool: -r takes a que-id: 3 arguments in all, got 4\n"},
      {{"-s", wraps, "hello", "done"}, 1, "", "mqtool: que-id " + wraps + range},
      {{"-r", wraps}, 1, "", "mqtool: que-id " + wraps + range},
      {{"-s", ks, std::string(1025, 'x'), "done"}, 1, "", longest},
      {{"-s", ks, std::string(100000, 'x'), "done"}, 1, "", longest},
      // Which command lines are refused with usage, and which letters are
      // unknown, is MqWalk.Grammar's; here what a run makes of each: usage on
      // standard error and status 1, or a usage line per unknown letter with
      // the walk going on past them, and past a failed letter.
      {{}, 1, "", kUsage},
      {std::vector<std::string>(23, "-x"), 0, "", repeat(kUsage, 23)},
      {{"-rxr", "0"}, 2, no_queue + no_queue, kUsage},
      // Receives where there is no queue, key 0 among them, answer at once.
      {{"-r", ks}, 2, "CONECT ERROR:" + qtest::code_of(ENOENT) + "\n", ""},
      {{"-r", "0"}, 2, no_queue, ""},
      {{"-r", "abc"}, 2, no_queue, ""},
  };
  const bool had_9999 = qtest::queue_exists(9999);
  const int private_before = qtest::private_queues();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.args.empty() ? "no arguments" : r.args[0] + " " + (r.args.size() > 1 ? r.args[1].substr(0, 20) : ""));
    ProcResult p = run(r.args, 5000);
    EXPECT_FALSE(p.timed_out);
    EXPECT_EQ(p.exit_code, r.status);
    EXPECT_EQ(p.out, r.out);
    EXPECT_EQ(p.err, r.err);
    EXPECT_FALSE(qtest::queue_exists(k));
    EXPECT_FALSE(qtest::queue_exists(-k));
  }
  EXPECT_EQ(qtest::private_queues(), private_before);
  if (!had_9999) {
    EXPECT_FALSE(qtest::queue_exists(9999));
  }
}

TEST_F(Mqtool, OutOfRangeQueIdLeavesTheQueueItWouldHaveWrappedTo) {
  key_t k = key(1);
  ASSERT_TRUE(post(k, "kept"));
  const std::string wraps = std::to_string(static_cast<long long>(k) + (1LL << 32));
  EXPECT_EQ(run({"-r", wraps}).exit_code, 1);
  EXPECT_EQ(run({"-s", wraps, "more", "t"}).exit_code, 1);
  EXPECT_EQ(drain(k), std::vector<std::string>{"kept"});
}

TEST_F(Mqtool, EmptyTextMakesQueueAndSendsNothing) {
  key_t k = key(1);
  ProcResult r = run({"-s", std::to_string(k), "", "done"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out + r.err, "");
  EXPECT_EQ(qtest::queued(k), 0);
}

// Texts up to a message's size sent by mqtool, and texts with NUL bytes or
// none put on the queue directly: each received and printed whole, in order.
TEST_F(Mqtool, TextsTravelWholeNulBytesAndAll) {
  const std::string k = key_arg(1);
  std::vector<std::string> texts = {std::string("a\0b", 3), std::string("\0", 1), std::string("tail\0\0", 6), ""};
  for (const auto& t : texts) ASSERT_TRUE(post(key(1), t));
  for (size_t len : {511u, 512u, 1024u}) {
    std::string text;
    for (size_t i = 0; i < len; ++i) text += static_cast<char>('a' + i % 26);
    ProcResult s = run({"-s", k, text, "done"});
    EXPECT_EQ(s.exit_code, 0) << len;
    EXPECT_EQ(s.out + s.err, "") << len;
    texts.push_back(text);
  }
  for (const auto& t : texts) {
    ProcResult r = run({"-r", k});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, t + "\n");
    EXPECT_EQ(r.err, "");
  }
}

// A text that cannot be written goes back to the end of its queue, so the
// next reader gets the others first and then it; nothing else is posted. A
// reader that has gone, a file at its size limit: the write fails (EPIPE,
// EFBIG) instead of a SIGPIPE or SIGXFSZ ending mqtool with the text in hand.
TEST_F(Mqtool, TextThatCannotBeWrittenGoesBackToTheEndOfTheQueue) {
  key_t k = key(1);
  std::string ks = std::to_string(k);
  int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  int p[2];
  ASSERT_TRUE(full >= 0 && pipe2(p, O_CLOEXEC) == 0);
  close(p[0]);
  FILE* file = tmpfile();
  const std::string second("sec\0nd", 6), no_space = "No space left on device";
  struct Row {
    const char* args;
    int fd;
    rlim_t size_limit;
    std::string why;
  } rows[] = {{"-r", full, RLIM_INFINITY, no_space}, {"-rr", full, RLIM_INFINITY, no_space},
              {"-r", p[1], RLIM_INFINITY, "Broken pipe"}, {"-r", fileno(file), 3, "File too large"}};
  for (const Row& row : rows) {
    ASSERT_TRUE(post(k, "first") && post(k, second));
    testsupport::ProcOptions opts;
    opts.stdout_fd = row.fd;
    opts.before_exec = [&row] {
      const rlimit limit{row.size_limit, row.size_limit};
      setrlimit(RLIMIT_FSIZE, &limit);
    };
    ProcResult r = run_process({mqtool(), row.args, ks}, opts);
    EXPECT_EQ(r.term_signal, 0) << row.why;
    EXPECT_EQ(r.exit_code, 2) << row.why;
    EXPECT_EQ(r.err, "mqtool: cannot write to standard output (" + row.why + "); the message is back at the end of queue " + ks + "\n");
    EXPECT_EQ(drain(k), (std::vector<std::string>{second, "first"})) << row.why;
  }
  close(full);
  close(p[1]);
  fclose(file);
}

// The queue fills up while mqtool waits to write the text: it cannot go back
// and mqtool says so, and does not wait for room.
TEST_F(Mqtool, TextThatCannotGoBackIsReported) {
  key_t k = key(1);
  std::string ks = std::to_string(k);
  ASSERT_GE(testsupport::small_queue(k, 16, 0666), 0);
  ASSERT_TRUE(post(k, "hello"));
  // A pipe filled up, so that mqtool's write waits.
  int p[2];
  ASSERT_EQ(pipe2(p, O_CLOEXEC | O_NONBLOCK), 0);
  char block[4096] = {};
  while (write(p[1], block, sizeof block) > 0) {
  }
  ASSERT_EQ(fcntl(p[1], F_SETFL, 0), 0);
  ProcResult r;
  std::thread runner([&] { r = run_with_stdout({"-r", ks}, p[1]); });
  EXPECT_GT(qtest::wait_for_process_in({mqtool(), "-r", ks}, SYS_write), 0);
  EXPECT_EQ(qtest::queued(k), 0);
  EXPECT_TRUE(post(k, std::string(16, 'f'), 97));  // the queue is full
  close(p[0]);
  runner.join();
  close(p[1]);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err,
            "mqtool: cannot write to standard output (Broken pipe) nor put the message back on queue " + ks +
                " (Resource temporarily unavailable); it is lost\n");
  EXPECT_EQ(qtest::queued(k), 1);
  EXPECT_EQ(take(k), "<none>");
}

TEST_F(Mqtool, ReceiveWithClosedStdoutIsRefusedBeforeAnyQueue) {
  key_t k = key(1);
  std::string ks = std::to_string(k);
  ASSERT_TRUE(post(k, "kept"));
  for (const char* args : {"-r", "-rr"}) {
    ProcResult r = run_with_stdout({args, ks}, -1);
    EXPECT_EQ(r.exit_code, 1) << args;
    EXPECT_EQ(r.err, "mqtool: standard output is closed\n") << args;
  }
  EXPECT_EQ(qtest::queued(k), 1);
  // A send needs no standard output.
  ProcResult s = run_with_stdout({"-s", ks, "more", "t"}, -1);
  EXPECT_EQ(s.exit_code, 0);
  EXPECT_EQ(s.err, "");
  EXPECT_EQ(drain(k), (std::vector<std::string>{"kept", "more"}));
}

TEST_F(Mqtool, InterruptedReceiveIsAFailureWithEmptyCode) {
  // The program installs no signal handler, so its waits are not broken by
  // signals; its work is run here, in a child with one, instead. No failure
  // was recorded before, so the line ends at the colon.
  key_t k = key(1);
  ASSERT_GE(msgget(k, IPC_CREAT | 0666), 0);
  ProcResult r = testsupport::run_function([k] {
    memset(err_code, 0, sizeof err_code);
    qtest::interrupt_waits();
    std::string prog = "mqtool", opt = "-r", id = std::to_string(k);
    char* argv[] = {prog.data(), opt.data(), id.data(), nullptr};
    return mqrun::run(3, argv);
  });
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "RECV ERROR:\n");
}

TEST_F(Mqtool, UsageNamesLastPathComponent) {
  // bash's exec -a sets argument 0 as given.
  for (const char* name : {"mqtool", "/mqtool", "./mqtool", "/a/b/mqtool"})
    EXPECT_EQ(run_process({"/bin/bash", "-c", "exec -a '" + std::string(name) + "' '" + mqtool() + "'"}).err, kUsage)
        << name;
  EXPECT_EQ(run_process({"/bin/bash", "-c", "exec -a /a/b/jux '" + mqtool() + "' -s 5 a b"}).err,
            "jux: que-id 5 is below 10000, the lowest a send takes\n");
}

TEST_F(Mqtool, ProgramNeedsNoCxxRuntimeNorSemaphores) {
  ProcResult d = run_process({"/usr/bin/readelf", "-d", "--dyn-syms", "-W", mqtool()});
  ASSERT_EQ(d.exit_code, 0) << d.err;
  EXPECT_NE(d.out.find("libc.so"), std::string::npos);
  EXPECT_EQ(d.out.find("libstdc++"), std::string::npos);
  EXPECT_EQ(d.out.find("semget"), std::string::npos);
  EXPECT_EQ(d.out.find("semop"), std::string::npos);
}

// 4 senders of 200 messages each and 2 receivers of two messages a run:
// every message arrives once, and each receiver sees each sender's messages
// in the order they were sent.
TEST_F(Mqtool, ConcurrentSendersAndReceivers) {
  const int kSenders = 4, kEach = 200, kReceivers = 2;
  std::string k = key_arg(1);
  ASSERT_GE(createque(key(1)), 0);
  std::vector<std::string> failures[kSenders + kReceivers];
  std::vector<std::string> got[kReceivers];
  std::vector<std::thread> threads;
  for (int s = 0; s < kSenders; ++s) {
    threads.emplace_back([&, s] {
      for (int i = 0; i < kEach; ++i) {
        ProcResult r = run({"-s", k, std::to_string(s) + ":" + std::to_string(i), "tag"}, 60000);
        if (r.exit_code != 0) failures[s].push_back("send " + std::to_string(r.exit_code) + " " + r.out + r.err);
      }
    });
  }
  const int runs = kSenders * kEach / kReceivers / 2;
  for (int c = 0; c < kReceivers; ++c) {
    threads.emplace_back([&, c] {
      for (int i = 0; i < runs; ++i) {
        ProcResult r = run({"-rr", k}, 60000);
        if (r.exit_code != 0) failures[kSenders + c].push_back("recv " + std::to_string(r.exit_code) + " " + r.out);
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) got[c].push_back(line);
      }
    });
  }
  for (auto& t : threads) t.join();
  for (const auto& f : failures) EXPECT_TRUE(f.empty()) << f.front();
  std::map<std::string, int> seen;
  for (int c = 0; c < kReceivers; ++c) {
    std::vector<int> last(kSenders, -1);
    for (const auto& m : got[c]) {
      ++seen[m];
      int s = std::stoi(m.substr(0, m.find(':')));
      int i = std::stoi(m.substr(m.find(':') + 1));
      ASSERT_TRUE(s >= 0 && s < kSenders) << m;
      EXPECT_GT(i, last[s]) << "receiver " << c << " got " << m << " after " << s << ":" << last[s];
      last[s] = i;
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kSenders * kEach));
  for (const auto& [m, n] : seen) EXPECT_EQ(n, 1) << m;
  EXPECT_EQ(qtest::queued(key(1)), 0);
}

// A run's own queue: -n makes it and prints its key, -d removes it. Every
// key made() reads is removed after the test, however it ends.
class NewQueue : public Mqtool {
 protected:
  // The key of -n's one line of output, or -1.
  key_t made(const std::string& out) {
    char* end = nullptr;
    long v = strtol(out.c_str(), &end, 10);
    if (!isdigit(static_cast<unsigned char>(out[0])) || strcmp(end, "\n") != 0 || v < 10000 || v > INT_MAX) return -1;
    made_.keys.push_back(static_cast<key_t>(v));
    return made_.keys.back();
  }
  qtest::RemovedAfter made_;
};

TEST_F(NewQueue, IsTheUsersAloneAndGoesWithMinusD) {
  ProcResult n = run({"-n"});
  key_t k = made(n.out);
  ASSERT_GE(k, 0) << n.out << n.err;
  EXPECT_EQ(n.exit_code, 0);
  EXPECT_EQ(n.err, "");
  const std::string ks = std::to_string(k);
  EXPECT_EQ(run({"-s", ks, "left", "t"}).exit_code, 0);
  msqid_ds ds{};
  ASSERT_EQ(msgctl(msgget(k, 0), IPC_STAT, &ds), 0);
  EXPECT_EQ(ds.msg_perm.mode & 0777, 0600u) << "a send changed the permissions";
  EXPECT_EQ(ds.msg_perm.uid, geteuid());
  ProcResult d = run({"-d", ks});
  EXPECT_EQ(d.exit_code, 0);
  EXPECT_EQ(d.out + d.err, "");
  EXPECT_FALSE(qtest::queue_exists(k)) << "the message left on it kept it";
}

// Each failure: its status, its lines on standard error, nothing on
// standard output, and the queues as they were.
TEST_F(NewQueue, FailuresOfNewAndRemoveSayWhy) {
  const std::string ks = key_arg(1), missing = key_arg(2);
  ASSERT_TRUE(post(key(1), "kept"));
  const std::string none = "mqtool: cannot remove queue " + missing + ": no queue has this key\n";
  struct Row {
    std::vector<std::string> args;
    int status;
    std::string err;
  } rows[] = {
      {{"-d", missing}, 2, none},
      {{"-dd", missing}, 2, none + none},
      {{"-d", "0"}, 2, "mqtool: cannot remove queue 0: no queue has this key\n"},
      {{"-n", ks}, 1, "mqtool: -n takes no other argument: 2 arguments in all, got 3\n"},
      {{"-d", ks, "x"}, 1, "mqtool: -d takes a que-id: 3 arguments in all, got 4\n"},
      {{"-d", "2147483648"}, 1, "mqtool: que-id 2147483648 is outside the range of keys, -2147483648 to 2147483647\n"},
  };
  for (const Row& r : rows) {
    ProcResult p = run(r.args);
    EXPECT_EQ(p.exit_code, r.status) << r.err;
    EXPECT_EQ(p.out, "") << r.err;
    EXPECT_EQ(p.err, r.err);
  }
  EXPECT_EQ(drain(key(1)), std::vector<std::string>{"kept"});
  EXPECT_FALSE(qtest::queue_exists(key(2)));
}

TEST_F(NewQueue, KeyThatCannotBeWrittenLeavesNoQueue) {
  ProcResult closed = run_with_stdout({"-n"}, -1);
  EXPECT_EQ(closed.exit_code, 1);
  EXPECT_EQ(closed.err, "mqtool: standard output is closed\n");
  int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  ProcResult r = run_with_stdout({"-n"}, full);
  close(full);
  EXPECT_EQ(r.exit_code, 2);
  const std::string head = "mqtool: cannot write to standard output (No space left on device); the new queue ";
  key_t k = static_cast<key_t>(atoi(r.err.c_str() + std::min(head.size(), r.err.size())));
  EXPECT_EQ(r.err, head + std::to_string(k) + " is removed again\n");
  EXPECT_FALSE(qtest::queue_exists(k));
}

// A signal that comes while -n works (here one already held when mqtool
// starts) ends it and takes the queue along: the caller that sees it never
// uses the key. One the caller ignores changes nothing.
TEST_F(NewQueue, SignalThatEndsItsMakerTakesTheQueue) {
  for (const auto& [sig, ignored] : std::vector<std::pair<int, bool>>{{SIGTERM, false}, {SIGINT, false}, {SIGHUP, true}}) {
    testsupport::ProcOptions opts;
    opts.before_exec = [sig = sig, ignored = ignored] {
      if (ignored) signal(sig, SIG_IGN);
      sigset_t held;
      sigemptyset(&held);
      sigaddset(&held, sig);
      sigprocmask(SIG_BLOCK, &held, nullptr);
      kill(getpid(), sig);
    };
    ProcResult r = run_process({mqtool(), "-n"}, opts);
    key_t k = made(r.out);
    ASSERT_GE(k, 0) << sig << ": " << r.out;
    EXPECT_EQ(r.term_signal, ignored ? 0 : sig);
    EXPECT_EQ(qtest::queue_exists(k), ignored) << sig;
  }
}

// The queue of $(mqtool -n) lives while the script that ran it runs, also
// when bash forks once more to run a command with a redirection, and goes
// within a second of the script's end, however it ends, and its watcher with
// it. A copy of mqtool under a path of its own tells its watcher from others.
TEST_F(NewQueue, GoesWithTheScriptThatRanIt) {
  const testsupport::OpenCopy tool(mqtool());
  const auto left = [&](key_t k) { return qtest::queue_exists(k) || qtest::find_process({tool.path(), "-n"}) > 0; };
  const std::string still_there = R"sh(; sleep 0.4; ipcs -q | grep -q "$(printf '0x%08x ' "$q")" && echo "$q"; )sh";
  struct Row {
    const char *shell, *redirect, *end;
    int sig;
  } rows[] = {{"/bin/sh", "", "exit", 0}, {"/bin/bash", "", "kill -KILL $$", SIGKILL},
              {"/bin/sh", "", "kill -HUP $$", SIGHUP}, {"/bin/bash", " 2>/dev/null", "kill -TERM $$", SIGTERM}};
  for (const Row& r : rows) {
    const ProcResult p = run_process({r.shell, "-c", "q=$(\"$0\" -n" + std::string(r.redirect) + ")" + still_there + r.end, tool.path()});
    EXPECT_EQ(p.term_signal, r.sig) << r.end;
    const key_t k = made(p.out);
    EXPECT_GT(k, 0) << r.shell << r.redirect << ": gone while the script ran, or $(mqtool -n) did not return";
    EXPECT_TRUE(qtest::within(1000, [&] { return !left(k); })) << r.end;
  }
  // Owned by this process, the watcher keeps apart from its folder and
  // descriptors, and goes with the queue when mqtool -d removes it.
  const key_t k = made(run_process({tool.path(), "-n"}).out);
  const std::string proc = "/proc/" + std::to_string(qtest::find_process({tool.path(), "-n"}));  // -1: throws below
  EXPECT_EQ(std::filesystem::read_symlink(proc + "/cwd"), "/");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(proc + "/fd"), {}), 1) << "descriptors besides the pidfd";
  EXPECT_EQ(run({"-d", std::to_string(k)}).exit_code, 0);
  EXPECT_TRUE(qtest::within(1000, [&] { return !left(k); }));
}

// Root's queues, one open to all and one made by -n: user nobody may remove
// neither, nor send on the second.
TEST_F(NewQueue, QueueOfAnotherUserStays) {
  QTEST_NEEDS_NOBODY();
  const testsupport::OpenCopy tool(mqtool());
  if (qtest::as_nobody([&] { return access(tool.path().c_str(), X_OK) == 0 ? 0 : 1; }) != 0)
    GTEST_SKIP() << "user nobody cannot run " << tool.path();
  const std::string open_key = key_arg(1), own = std::to_string(made(run({"-n"}).out));
  ASSERT_GE(msgget(key(1), IPC_CREAT | 0666), 0);
  struct Row {
    std::vector<std::string> args;
    std::string out, err;
  } rows[] = {
      {{tool.path(), "-d", open_key}, "", "mqtool: cannot remove queue " + open_key + ": it is another user's\n"},
      {{tool.path(), "-d", own}, "", "mqtool: cannot remove queue " + own + ": Permission denied\n"},
      {{tool.path(), "-s", own, "x", "t"}, "CREATE ERROR:" + qtest::code_of(EACCES) + "\n", ""},
  };
  for (const Row& r : rows) {
    ProcResult p = run_process(testsupport::nobody_argv(r.args));
    EXPECT_EQ(p.exit_code, 2) << r.err;
    EXPECT_EQ(p.out, r.out);
    EXPECT_EQ(p.err, r.err);
  }
  EXPECT_TRUE(qtest::queue_exists(key(1)));
  EXPECT_EQ(qtest::queued(std::stoi(own)), 0);
}

}  // namespace
