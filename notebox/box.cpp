#include "box.h"

#include <iconv.h>
#include <langinfo.h>

#include <cstring>

#include "text.h"

namespace notebox {

std::string title_on(const winkit::Geometry& at) { return winkit::shown_text(kTitle, at.cols - 2); }

std::string chosen_message(int argc, const char* const* argv) {
  if (argc != 2) return default_message();
  const std::string_view arg = argv[1];
  return std::string(arg.substr(0, winkit::char_prefix(arg, kMessageBytes)));
}

std::string default_message() {
  const char* set = ::nl_langinfo(CODESET);
  if (std::string_view(set) == "UTF-8") return kDefaultMessage;
  if (std::string_view(set) == "ANSI_X3.4-1968") return kDefaultAscii;  // the C locale: no converter to load
  const iconv_t cd = ::iconv_open(set, "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return kDefaultAscii;
  char in_buf[sizeof kDefaultMessage];
  std::memcpy(in_buf, kDefaultMessage, sizeof in_buf);  // iconv takes its input unconst
  // Four bytes a byte of the UTF-8 text: more than any locale's set needs.
  char out_buf[4 * sizeof kDefaultMessage];
  char* in = in_buf;
  char* out = out_buf;
  std::size_t in_left = sizeof kDefaultMessage - 1;
  std::size_t out_left = sizeof out_buf;
  bool whole = ::iconv(cd, &in, &in_left, &out, &out_left) != static_cast<std::size_t>(-1) &&
               ::iconv(cd, nullptr, nullptr, &out, &out_left) != static_cast<std::size_t>(-1);
  ::iconv_close(cd);
  if (!whole || in_left != 0) return kDefaultAscii;
  return std::string(out_buf, static_cast<std::size_t>(out - out_buf));
}

}  // namespace notebox
