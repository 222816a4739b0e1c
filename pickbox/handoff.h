// Hands the choice on: the receiving command is started directly, not
// through a shell, so every text reaches it as one literal argument.
#pragma once

#include <string>
#include <vector>

namespace pickbox {

// The command line that posts the chosen item, tagged with the title.
std::vector<std::string> handoff_argv(int qid, const std::string& item, const std::string& tag);

// Starts argv[0] from the search path and waits for it as system() does:
// SIGINT and SIGQUIT are ignored here meanwhile, the command gets them with
// their usual effect. True only when it ran and exited with status 0.
bool run_command(const std::vector<std::string>& argv);

}  // namespace pickbox
