#include "message.h"

#include "winkit.h"

namespace notebox {

const char* const kDefaultMessage = "ダイアログメッセージです";

std::string choose_message(int argc, const char* const* argv) {
  if (argc != 2) return kDefaultMessage;
  std::string_view arg(argv[1]);
  return std::string(arg.substr(0, winkit::utf8_prefix(arg, kMessageBytes)));
}

}  // namespace notebox
