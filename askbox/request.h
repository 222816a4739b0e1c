// askbox's command line and its one line of output.
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
};

// Nothing unless there are exactly two arguments.
std::optional<Request> parse_args(int argc, const char* const* argv);

// NAME=value and a newline, neither part quoted.
std::string result_line(std::string_view name, std::string_view value);

}  // namespace askbox
