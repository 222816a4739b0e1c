#include "proc.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace testsupport {

namespace {

void apply_env(const std::map<std::string, std::optional<std::string>>& env) {
  for (const auto& [name, value] : env) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
}

}  // namespace

std::string bin_dir() { return JUX_BIN_DIR; }
std::string bin_path(const std::string& program) { return bin_dir() + "/" + program; }
std::string locale_dir() { return JUX_LOCALE_DIR; }

ProcResult run_function(const std::function<int()>& body, const ProcOptions& options) {
  ProcResult result;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC) || pipe2(err_pipe, O_CLOEXEC)) return result;

  pid_t pid = fork();
  if (pid < 0) {
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    return result;
  }
  if (pid == 0) {
    if (options.new_session) setsid();
    if (options.stdin_data) {
      dup2(in_pipe[0], 0);
    } else {
      int devnull = open("/dev/null", O_RDONLY);
      dup2(devnull, 0);
    }
    if (!options.stdout_fd)
      dup2(out_pipe[1], 1);
    else if (*options.stdout_fd >= 0)
      dup2(*options.stdout_fd, 1);
    else
      close(1);
    dup2(err_pipe[1], 2);
    apply_env(options.env);
    _exit(body());
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);

  // Feed stdin whole before reading: test inputs are small.
  if (options.stdin_data) {
    signal(SIGPIPE, SIG_IGN);
    const std::string& data = *options.stdin_data;
    size_t done = 0;
    while (done < data.size()) {
      ssize_t n = write(in_pipe[1], data.data() + done, data.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }
  close(in_pipe[1]);

  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeout_ms);
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      break;
    }
    int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  for (auto& f : fds)
    if (f.fd >= 0) close(f.fd);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
  return result;
}

ProcResult run_process(const std::vector<std::string>& argv, const ProcOptions& options) {
  return run_function(
      [&] {
        if (options.before_exec) options.before_exec();
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        return 127;
      },
      options);
}

}  // namespace testsupport
