#include <cwchar>

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

// Curses shows an undecodable byte as M-x or M-^x: count the wider form.
constexpr int kBadByteWidth = 4;

// Columns of one decoded character as curses draws it. Controls appear as
// ^X; a tab reaches at most the next stop eight columns on.
int char_width(wchar_t wc) {
  if (wc == L'\t') return 8;
  if (wc < 0x20 || wc == 0x7F) return 2;
  int w = ::wcwidth(wc);
  if (w < 0) return kBadByteWidth;
  return w;
}

// Decodes the character at the front of s: its length in bytes and its width.
// An undecodable byte is taken alone.
void next_char(std::string_view s, std::mbstate_t& state, std::size_t& len, int& width) {
  wchar_t wc = 0;
  std::size_t n = std::mbrtowc(&wc, s.data(), s.size(), &state);
  if (n == 0) {  // an embedded NUL: curses stops there, so it takes no room
    len = 1;
    width = 0;
  } else if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
    state = std::mbstate_t{};
    len = 1;
    width = kBadByteWidth;
  } else {
    len = n;
    width = char_width(wc);
  }
}

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

int display_width(std::string_view s) {
  std::mbstate_t state{};
  int total = 0;
  while (!s.empty()) {
    std::size_t len = 0;
    int width = 0;
    next_char(s, state, len, width);
    total += width;
    s.remove_prefix(len);
  }
  return total;
}

std::string_view clip_to_width(std::string_view s, int max_columns) {
  std::mbstate_t state{};
  std::size_t used = 0;
  int total = 0;
  while (used < s.size()) {
    std::size_t len = 0;
    int width = 0;
    next_char(s.substr(used), state, len, width);
    if (total + width > max_columns) break;
    total += width;
    used += len;
  }
  return s.substr(0, used);
}

}  // namespace winkit
