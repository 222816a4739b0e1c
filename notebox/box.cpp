#include "box.h"

#include "winkit.h"

namespace notebox {

std::string_view chosen_message(int argc, const char* const* argv) {
  if (argc != 2) return kDefaultMessage;
  const std::string_view arg = argv[1];
  return arg.substr(0, winkit::utf8_prefix(arg, kMessageBytes));
}

}  // namespace notebox
