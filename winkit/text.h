// Text fitted to the terminal in the current locale: cut by bytes at a
// character, by display columns, and wrapped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace winkit {

// Length of the longest prefix of s of at most max_bytes bytes that does not
// end inside a character of the current locale's encoding (call it after
// setlocale). A byte that is no part of a character stands alone.
std::size_t char_prefix(std::string_view s, std::size_t max_bytes);

// After setlocale: why the C library cannot read the locale's character set,
// in which case every byte above ASCII would be refused; empty when it can.
std::string reason_charset_unreadable();

// Typed bytes put together into characters of the current locale. Never
// keeps half a character: a byte that breaks one drops the bytes before it
// and starts afresh.
class CharReader {
 public:
  // The character once whole (its bytes in `bytes`, its code in `wc`);
  // false while it is not, or when the byte was no part of any.
  bool feed(unsigned char byte, std::string& bytes, wchar_t& wc);
  void drop() { pending_.clear(); }  // a key between a character's bytes cuts it

 private:
  std::string pending_;
};

// s as it may be drawn, in the current locale: a byte that does not decode,
// a character that is not printable, and a zero-width character with nothing
// before it to join show as one '?' each. Cut to max_columns columns, never
// inside a character.
std::string shown_text(std::string_view s, int max_columns);

// shown_text of s broken into lines of at most `width` columns, at most
// max_lines of them; what does not fit is cut. A wide character that would
// straddle the end of a line starts the next.
std::vector<std::string> wrap_text(std::string_view s, int width, int max_lines);

}  // namespace winkit
