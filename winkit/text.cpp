#include <cwchar>
#include <cwctype>

#include "winkit.h"

namespace winkit {

namespace {

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length a UTF-8 lead byte announces, or 0 when c cannot start a character.
std::size_t lead_length(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

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

std::size_t utf8_prefix(std::string_view s, std::size_t max_bytes) {
  if (s.size() <= max_bytes) return s.size();
  // The cut falls before byte max_bytes: step back to the start of the
  // character that byte belongs to, if any within the longest encoding.
  std::size_t start = max_bytes;
  while (start > 0 && max_bytes - start < 3 && is_continuation(static_cast<unsigned char>(s[start]))) --start;
  std::size_t len = lead_length(static_cast<unsigned char>(s[start]));
  if (start < max_bytes && start + len > max_bytes) return start;
  return max_bytes;
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
