// Runs a program to completion with its standard streams captured: for tests of
// commands that need no terminal, and for programs run with no terminal at all.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct ProcResult {
  int exit_code = -1;   // WEXITSTATUS, or -1 when the process was killed
  int term_signal = 0;  // the signal that killed it, else 0
  bool timed_out = false;
  std::string out;
  std::string err;
};

struct ProcOptions {
  std::optional<std::string> stdin_data;  // fed, then closed; without it stdin is /dev/null
  // Variables to set ("" is a value); names mapped to std::nullopt are removed.
  std::map<std::string, std::optional<std::string>> env;
  bool new_session = true;  // setsid(): no controlling terminal, /dev/tty cannot be opened
  int timeout_ms = 10000;   // then SIGKILL and timed_out
  // Standard output goes to this descriptor (-1: it is closed) instead of `out`.
  std::optional<int> stdout_fd;
  // Runs in the child just before the program starts (holding a signal, say).
  std::function<void()> before_exec;
};

ProcResult run_process(const std::vector<std::string>& argv, const ProcOptions& options = {});
// The same for body run in a child process; its result is the exit status.
ProcResult run_function(const std::function<int()>& body, const ProcOptions& options = {});

// Directory holding the built programs (build/bin of the tree under test).
std::string bin_dir();
std::string bin_path(const std::string& program);
// Directory of the locales the tests compile (for LOCPATH): C.UTF-8,
// ja_JP.eucJP, ja_JP.SJIS, en_US.ISO-8859-1, and ja_JP.nomodule, whose
// character set the C library has no conversion for.
std::string locale_dir();

}  // namespace testsupport
