// ptyrun: runs one command in a fresh pseudo-terminal, feeds it keys, drains
// and counts what it writes, and reports its wall time, peak memory and bytes.
//
//   ptyrun [-r ROWS] [-c COLS] [-e NAME=VALUE]... [-t TIMEOUT_MS] [-o FILE] [STEP]... -- COMMAND [ARG]...
//
// -o FILE keeps a copy of everything the command wrote to the terminal.
//
// Steps run in order once the command has started; then ptyrun waits for it
// to exit, reading all the while.
//   quiet:MS[:LABEL]  wait until no output has come for MS ms since the last
//                     byte or the last send (or the command exited); with
//                     LABEL, mark the time of that last byte or send
//   send:TEXT         type TEXT (escapes: \e \r \n \t \\ \xHH)
//   mark:LABEL        mark the time now
//   kill:SIGNAL       send the command SIGNAL (a number) now, for programs
//                     whose own way out would only add waiting to the run
// One line goes to standard output:
//   wall_us=N cpu_us=N maxrss_kb=N bytes=N status=N [LABEL=US:BYTES]...
// (cpu_us: the command's user and system time)
// where a mark's US counts from the start and BYTES is the output up to it.
// The command is started with posix_spawn (a vfork), so its peak memory is
// its own, not a copy of ptyrun's.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Step {
  enum Kind { Quiet, Send, Mark, Kill } kind;
  int ms = 0;        // ms for Quiet, the signal number for Kill
  std::string text;  // keys for Send, label for Quiet and Mark
};

struct Mark {
  std::string label;
  long long us;
  std::size_t bytes;
};

[[noreturn]] void usage(const char* why) {
  std::fprintf(stderr, "ptyrun: %s\nusage: ptyrun [-r ROWS] [-c COLS] [-e NAME=VALUE]... [-t TIMEOUT_MS] [-o FILE] [STEP]... -- COMMAND [ARG]...\n", why);
  std::exit(2);
}

std::string unescape(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    switch (c) {
      case 'e': out += '\x1b'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'x':
        if (i + 2 < s.size()) {
          out += static_cast<char>(std::strtol(s.substr(i + 1, 2).c_str(), nullptr, 16));
          i += 2;
        }
        break;
      default: out += c;
    }
  }
  return out;
}

Step parse_step(const std::string& arg) {
  Step st{};
  auto colon = arg.find(':');
  if (colon == std::string::npos) usage(("bad step: " + arg).c_str());
  std::string kind = arg.substr(0, colon), rest = arg.substr(colon + 1);
  if (kind == "quiet") {
    st.kind = Step::Quiet;
    auto c2 = rest.find(':');
    st.ms = std::atoi(rest.substr(0, c2).c_str());
    if (c2 != std::string::npos) st.text = rest.substr(c2 + 1);
    if (st.ms <= 0) usage("quiet needs a time in ms");
  } else if (kind == "send") {
    st.kind = Step::Send;
    st.text = unescape(rest);
  } else if (kind == "mark") {
    st.kind = Step::Mark;
    st.text = rest;
  } else if (kind == "kill") {
    st.kind = Step::Kill;
    st.ms = std::atoi(rest.c_str());
    if (st.ms <= 0) usage("kill needs a signal number");
  } else {
    usage(("bad step: " + arg).c_str());
  }
  return st;
}

class Run {
 public:
  Run(int master, int pidfd, pid_t pid, Clock::time_point start, int timeout_ms, std::FILE* copy)
      : master_(master),
        pidfd_(pidfd),
        pid_(pid),
        start_(start),
        deadline_(start + std::chrono::milliseconds(timeout_ms)),
        last_byte_(start),
        last_send_(start),
        copy_(copy) {}

  // Reads what is there and notes an exit; waits at most wait_ms.
  void pump(int wait_ms) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {exited_ ? -1 : pidfd_, POLLIN, 0}};
    int n = ::poll(fds, 2, wait_ms);
    if (n <= 0) return;
    if (fds[1].revents & POLLIN) {
      end_ = Clock::now();
      exited_ = true;
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) drain();
  }

  void drain() {
    char buf[65536];
    for (;;) {
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        bytes_ += static_cast<std::size_t>(n);
        if (copy_ != nullptr) std::fwrite(buf, 1, static_cast<std::size_t>(n), copy_);
        last_byte_ = Clock::now();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) return;
      hung_up_ = true;  // EIO: the terminal's last user has gone
      return;
    }
  }

  bool timed_out() const { return Clock::now() >= deadline_; }
  int left_ms() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
  }

  void quiet(int ms, const std::string& label) {
    for (;;) {
      if (exited_ || timed_out()) break;
      // Silence counts from the last byte or the last keys sent, whichever came later.
      auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - std::max(last_byte_, last_send_)).count();
      if (since >= ms) break;
      pump(static_cast<int>(ms - since));
    }
    if (!label.empty()) marks_.push_back({label, us(std::max(last_byte_, last_send_)), bytes_});
  }

  void send(const std::string& keys) {
    last_send_ = Clock::now();
    std::size_t done = 0;
    while (done < keys.size() && !timed_out()) {
      ssize_t n = ::write(master_, keys.data() + done, keys.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        return;
      } else {
        pump(10);
      }
    }
  }

  void mark(const std::string& label) { marks_.push_back({label, us(Clock::now()), bytes_}); }

  void signal(int sig) {
    if (!exited_) ::kill(pid_, sig);
  }

  // Waits for the exit, reading; then takes what is left and reaps.
  int finish(rusage& ru) {
    while (!exited_ && !timed_out()) pump(left_ms());
    if (!exited_) {
      ::kill(pid_, SIGKILL);
      end_ = Clock::now();
    }
    int status = 0;
    while (::wait4(pid_, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    drain();
    return status;
  }

  long long wall_us() const { return us(end_); }
  std::size_t bytes() const { return bytes_; }
  const std::vector<Mark>& marks() const { return marks_; }
  bool exited() const { return exited_; }

 private:
  long long us(Clock::time_point t) const { return std::chrono::duration_cast<std::chrono::microseconds>(t - start_).count(); }

  int master_, pidfd_;
  pid_t pid_;
  Clock::time_point start_, deadline_, end_, last_byte_, last_send_;
  std::FILE* copy_;
  std::size_t bytes_ = 0;
  bool exited_ = false, hung_up_ = false;
  std::vector<Mark> marks_;
};

}  // namespace

int main(int argc, char** argv) {
  int rows = 24, cols = 80, timeout_ms = 10000;
  std::vector<std::string> env_over;
  std::string copy_path;
  std::vector<Step> steps;
  int i = 1;
  for (; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--") {
      ++i;
      break;
    }
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) usage(("missing value for " + a).c_str());
      return argv[++i];
    };
    if (a == "-r") rows = std::atoi(value().c_str());
    else if (a == "-c") cols = std::atoi(value().c_str());
    else if (a == "-t") timeout_ms = std::atoi(value().c_str());
    else if (a == "-e") env_over.push_back(value());
    else if (a == "-o") copy_path = value();
    else steps.push_back(parse_step(a));
  }
  if (i >= argc) usage("no command");
  if (rows <= 0 || cols <= 0 || timeout_ms <= 0) usage("bad size or timeout");

  // The environment: ours, without a stale size, with the overrides.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string kv = *e;
    if (kv.rfind("LINES=", 0) == 0 || kv.rfind("COLUMNS=", 0) == 0) continue;
    bool overridden = false;
    for (const auto& o : env_over) overridden |= kv.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0;
    if (!overridden) env.push_back(kv);
  }
  env.insert(env.end(), env_over.begin(), env_over.end());
  std::vector<char*> envp;
  for (auto& s : env) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::FILE* copy = nullptr;
  if (!copy_path.empty() && (copy = std::fopen(copy_path.c_str(), "wb")) == nullptr) {
    std::perror(("ptyrun: " + copy_path).c_str());
    return 2;
  }

  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::perror("ptyrun: pseudo-terminal");
    return 2;
  }
  const char* slave = ::ptsname(master);
  winsize ws{};
  ws.ws_row = static_cast<unsigned short>(rows);
  ws.ws_col = static_cast<unsigned short>(cols);
  ::ioctl(master, TIOCSWINSZ, &ws);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

  // A new session whose first terminal opened becomes its controlling one.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, slave, O_RDWR, 0);
  posix_spawn_file_actions_adddup2(&fa, 0, 1);
  posix_spawn_file_actions_adddup2(&fa, 0, 2);

  ::signal(SIGPIPE, SIG_IGN);
  pid_t pid = -1;
  const auto start = Clock::now();
  int err = ::posix_spawnp(&pid, argv[i], &fa, &attr, argv + i, envp.data());
  if (err != 0) {
    std::fprintf(stderr, "ptyrun: %s: %s\n", argv[i], std::strerror(err));
    return 2;
  }
  int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd < 0) {
    std::perror("ptyrun: pidfd_open");
    return 2;
  }

  Run run(master, pidfd, pid, start, timeout_ms, copy);
  for (const Step& st : steps) {
    if (st.kind == Step::Quiet) run.quiet(st.ms, st.text);
    else if (st.kind == Step::Send) run.send(st.text);
    else if (st.kind == Step::Mark) run.mark(st.text);
    else run.signal(st.ms);
  }
  rusage ru{};
  int status = run.finish(ru);
  if (copy != nullptr && std::fclose(copy) != 0) {
    std::perror(("ptyrun: " + copy_path).c_str());
    return 2;
  }
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const long long cpu_us = (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1000000LL + ru.ru_utime.tv_usec + ru.ru_stime.tv_usec;
  std::printf("wall_us=%lld cpu_us=%lld maxrss_kb=%ld bytes=%zu status=%d", run.wall_us(), cpu_us, ru.ru_maxrss, run.bytes(), code);
  for (const auto& m : run.marks()) std::printf(" %s=%lld:%zu", m.label.c_str(), m.us, m.bytes);
  std::printf("%s\n", run.exited() ? "" : " timeout");
  return 0;
}
