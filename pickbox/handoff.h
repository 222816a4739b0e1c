// Hands the choice on: the receiving command is started directly, not
// through a shell, so every text reaches it as one literal argument.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace pickbox {

// The command line that posts the chosen item, tagged with the title.
std::vector<std::string> handoff_argv(key_t qid, const std::string& item, const std::string& tag);

// How a command ended: ok, or why not in a few words ("mqtool ended with
// status 2"). signal: a signal that the caller should now end by, as the
// user meant it: an interrupt that ended the command, or a signal that would
// have ended us and came meanwhile (and went on to the command).
struct CommandResult {
  std::string reason;
  int signal = 0;
  bool ok() const { return reason.empty() && signal == 0; }
};

// Starts argv[0] from the search path and waits for it. SIGINT, SIGQUIT,
// SIGTERM and SIGHUP that come meanwhile are passed on to it, unless the
// caller ignores them; the command gets them at their default. Ok only when
// it ran and exited with status 0. While it runs, `waiting` is called once
// it has started and then about every quarter second, until it answers true.
CommandResult run_command(const std::vector<std::string>& argv, const std::function<bool()>& waiting = {});

}  // namespace pickbox
