#include "request.h"

#include "text.h"

namespace askbox {

std::optional<Request> parse_args(int argc, const char* const* argv) {
  if (argc != 3) return std::nullopt;
  std::string_view prompt(argv[1]);
  return Request{std::string(prompt.substr(0, winkit::char_prefix(prompt, kPromptBytes))), argv[2]};
}

std::string result_line(std::string_view name, std::string_view value) {
  std::string line;
  line.reserve(name.size() + value.size() + 2);
  line.append(name).append("=").append(value).append("\n");
  return line;
}

}  // namespace askbox
