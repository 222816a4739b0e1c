#include <iconv.h>
#include <langinfo.h>

#include <climits>
#include <cwchar>
#include <cwctype>

#include "text.h"

namespace winkit {

namespace {

// Walks s one drawable character at a time. Curses expands a tab, breaks the
// line at a newline and spells out other controls and undecodable bytes in
// several columns, all of which would run past a row or over a frame, so each
// of those is given as a single '?'.
class Drawable {
 public:
  explicit Drawable(std::string_view s) : s_(s) {}
  // The next character as drawn and its columns; false at the end.
  bool next(std::string_view& shown, int& width) {
    if (s_.empty()) return false;
    wchar_t wc = 0;
    std::size_t len = std::mbrtowc(&wc, s_.data(), s_.size(), &state_);
    const bool bad = len == static_cast<std::size_t>(-1) || len == static_cast<std::size_t>(-2);
    if (len == 0) len = 1;  // an embedded NUL
    const int w = bad ? -1 : ::wcwidth(wc);
    if (bad || wc == 0 || !std::iswprint(static_cast<wint_t>(wc)) || w < 0 || (w == 0 && !joined_)) {
      state_ = std::mbstate_t{};
      s_.remove_prefix(bad ? 1 : len);
      shown = "?";
      width = 1;
    } else {
      shown = s_.substr(0, len);
      s_.remove_prefix(len);
      width = w;
    }
    joined_ = true;
    return true;
  }

 private:
  std::string_view s_;
  std::mbstate_t state_{};
  bool joined_ = false;  // a zero-width character needs one before it
};

}  // namespace

bool CharReader::feed(unsigned char byte, std::string& bytes, wchar_t& wc) {
  pending_.push_back(static_cast<char>(byte));
  std::mbstate_t state{};
  const std::size_t n = std::mbrtowc(&wc, pending_.data(), pending_.size(), &state);
  if (n == static_cast<std::size_t>(-2) && pending_.size() < MB_LEN_MAX) return false;
  if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
    const bool alone = pending_.size() == 1;
    pending_.clear();
    return alone ? false : feed(byte, bytes, wc);
  }
  bytes.clear();
  bytes.swap(pending_);
  return true;
}

std::size_t char_prefix(std::string_view s, std::size_t max_bytes) {
  if (s.size() <= max_bytes) return s.size();
  // Only a walk from the start finds the boundaries: a Shift_JIS second byte
  // may look like ASCII, and EUC-JP bytes look alike whatever their place.
  std::mbstate_t state{};
  std::size_t at = 0;
  for (;;) {
    std::size_t len = std::mbrlen(s.data() + at, s.size() - at, &state);
    if (len == static_cast<std::size_t>(-1) || len == static_cast<std::size_t>(-2)) {
      state = std::mbstate_t{};  // no character: the byte stands alone
      len = 1;
    } else if (len == 0) {
      len = 1;
    }
    if (at + len > max_bytes) return at;
    at += len;
  }
}

std::string reason_charset_unreadable() {
  const char* set = ::nl_langinfo(CODESET);
  const std::string_view name = set;
  // Built into the C library: nothing is loaded for them.
  if (name == "UTF-8" || name == "ANSI_X3.4-1968") return {};
  // Any other set gives a meaning to some byte above ASCII, if only as the
  // start of a character. Without its conversion modules the C library
  // reads the locale as ASCII and refuses them all.
  for (int b = 0x80; b <= 0xFF; ++b) {
    const char c = static_cast<char>(b);
    std::mbstate_t state{};
    if (std::mbrlen(&c, 1, &state) != static_cast<std::size_t>(-1)) return {};
  }
  // A 7-bit set refuses them too, and still converts.
  const iconv_t cd = ::iconv_open("WCHAR_T", set);
  if (cd != reinterpret_cast<iconv_t>(-1)) {
    ::iconv_close(cd);
    return {};
  }
  return "the C library cannot convert the locale's character set " + std::string(name) +
         " (its conversion modules are missing or do not match)";
}

std::string shown_text(std::string_view s, int max_columns) {
  std::vector<std::string> lines = wrap_text(s, max_columns, 1);
  return lines.empty() ? std::string() : std::move(lines.front());
}

std::vector<std::string> wrap_text(std::string_view s, int width, int max_lines) {
  std::vector<std::string> lines;
  if (max_lines < 1 || width < 0) return lines;
  lines.emplace_back();
  Drawable chars(s);
  std::string_view shown;
  int columns = 0;
  int used = 0;
  while (chars.next(shown, columns)) {
    if (used + columns > width) {
      if (static_cast<int>(lines.size()) == max_lines || columns > width) break;
      lines.emplace_back();
      used = 0;
    }
    lines.back().append(shown);
    used += columns;
  }
  return lines;
}


}  // namespace winkit
