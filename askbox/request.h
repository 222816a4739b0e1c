// askbox's command line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace askbox {

// The prompt is kept to the bytes the window was designed for.
constexpr std::size_t kPromptBytes = 79;

struct Request {
  std::string prompt;  // cut to kPromptBytes, never inside a character of the current locale
  std::string name;    // the variable's name, whole: a cut name would set another variable
  bool secret = false;       // -s: the line shows as '*'
  std::string start_text;    // -i TEXT: the line starts holding it
};

// [-s] [-i TEXT] PROMPT NAME. With exactly two arguments both are data,
// whatever they look like; with more, the last two are PROMPT and NAME and
// every one before them must be an option. Nothing when the command line is
// not of this form.
std::optional<Request> parse_args(int argc, const char* const* argv);

}  // namespace askbox
