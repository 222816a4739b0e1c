#include "request.h"

#include "text.h"

namespace askbox {

std::optional<Request> parse_args(int argc, const char* const* argv) {
  if (argc < 3) return std::nullopt;
  Request request;
  const int first_data = argc - 2;
  for (int i = 1; i < first_data; ++i) {
    const std::string_view option = argv[i];
    if (option == "-s") {
      request.secret = true;
    } else if (option == "-i" && i + 1 < first_data) {
      request.start_text = argv[++i];
    } else {
      return std::nullopt;
    }
  }
  const std::string_view prompt(argv[first_data]);
  request.prompt = std::string(prompt.substr(0, winkit::char_prefix(prompt, kPromptBytes)));
  request.name = argv[first_data + 1];
  return request;
}

}  // namespace askbox
