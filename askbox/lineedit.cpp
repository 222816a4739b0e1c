#include "lineedit.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace askbox {

namespace {

constexpr unsigned char kCtrlA = 1, kCtrlC = 3, kCtrlD = 4, kCtrlE = 5, kCtrlH = 8, kLf = 10, kCtrlK = 11,
                        kCr = 13, kCtrlU = 21, kCtrlW = 23, kDel = 127;

bool is_control(unsigned char b) { return b < 0x20 || b == kDel; }

// The terminal's own editing bytes: ASCII only, since in a multibyte locale a
// higher byte may be part of a character.
bool is_setting(int setting, unsigned char b) { return setting > 0 && setting < 0x80 && setting == b; }

}  // namespace

LineEditor::LineEditor(EditSettings s) : settings_(s), multibyte_(MB_CUR_MAX > 1) {
  settings_.field_columns = std::max(settings_.field_columns, 2);
  chars_.reserve(settings_.max_chars);
}

void LineEditor::start_with(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b == 0x1B) {
      // An escape sequence goes whole, as a typed one does.
      std::size_t len = 0;
      while (i + 1 + len < text.size() && !winkit::escape_complete(text.substr(i + 1, len))) ++len;
      i += len;
    }
    if (is_control(b))
      pending_.drop();
    else
      text_byte(b);
  }
  pending_.drop();  // a character cut at the end of the text
}

void LineEditor::set_field_columns(int columns) {
  settings_.field_columns = std::max(columns, 2);
  scroll();
  pull_back();
}

LineEditor::Char LineEditor::make_char(std::string_view bytes, int width, bool unshown) const {
  Char c{};
  c.size = static_cast<unsigned char>(std::min(bytes.size(), sizeof c.bytes));
  std::memcpy(c.bytes, bytes.data(), c.size);
  c.width = static_cast<signed char>(settings_.secret ? 1 : width);
  c.unshown = unshown;
  return c;
}

Outcome LineEditor::byte(unsigned char b) {
  // The terminal's erase and kill come first, as in its own line editing;
  // Ctrl-H and DEL erase whatever the kill byte is.
  if (is_setting(settings_.erase, b) || b == kCtrlH)
    b = kDel;
  else if (is_setting(settings_.kill, b) && b != kDel)
    b = kCtrlU;
  else if (!is_control(b))
    return text_byte(b);
  pending_.drop();  // a key between the bytes of a character leaves it cut: it goes
  switch (b) {
    case kDel: erase_before(); break;
    case kCtrlU: erase_to_start(); break;
    case kCtrlK: erase_to_end(); break;
    case kCtrlW: erase_word_before(); break;
    case kCtrlA: go_home(); break;
    case kCtrlE: go_end(); break;
    case kCtrlD:
      if (chars_.empty()) return Outcome::EndOfInput;
      delete_under();
      break;
    case kCr: case kLf: return Outcome::Enter;
    case kCtrlC: return Outcome::Interrupt;
    default: break;  // any other control byte (Esc among them) is dropped
  }
  return Outcome::Continue;
}

Outcome LineEditor::text_byte(unsigned char b) {
  if (!multibyte_) {
    // Kept as typed; shown only when the locale calls it printable and one
    // column wide, so no terminal control byte is ever drawn.
    const std::wint_t wc = std::btowc(b);
    const bool shown = wc != WEOF && std::iswprint(wc) && ::wcwidth(static_cast<wchar_t>(wc)) == 1;
    const char byte = static_cast<char>(b);
    return insert(make_char({&byte, 1}, 1, !shown));
  }
  std::string bytes;
  wchar_t wc = 0;
  if (!pending_.feed(b, bytes, wc)) return Outcome::Continue;
  // A character that takes no column (a combining mark, a zero-width space)
  // would leave the cursor's column ambiguous; it goes with the unprintable.
  const int width = ::wcwidth(wc);
  if (!std::iswprint(static_cast<std::wint_t>(wc)) || width <= 0) return Outcome::Continue;
  const Outcome out = insert(make_char(bytes, width, false));
  std::fill(bytes.begin(), bytes.end(), '\0');  // no copy of a secret's character left behind
  return out;
}

Outcome LineEditor::key(EditKey k, unsigned char b) {
  void (LineEditor::*edit)() = nullptr;
  switch (k) {
    case EditKey::Byte: return byte(b);
    case EditKey::Escape: return cancel();
    case EditKey::Left: edit = &LineEditor::go_left; break;
    case EditKey::Right: edit = &LineEditor::go_right; break;
    case EditKey::Home: edit = &LineEditor::go_home; break;
    case EditKey::End: edit = &LineEditor::go_end; break;
    case EditKey::Delete: edit = &LineEditor::delete_under; break;
    default: return Outcome::Continue;
  }
  pending_.drop();
  (this->*edit)();
  return Outcome::Continue;
}

void LineEditor::erase_before() { if (cursor_ > 0) remove(cursor_ - 1, cursor_); }
void LineEditor::erase_to_start() { remove(0, cursor_); }
void LineEditor::erase_to_end() { remove(cursor_, chars_.size()); }
void LineEditor::erase_word_before() {
  std::size_t from = cursor_;
  while (from > 0 && chars_[from - 1].text() == " ") --from;
  while (from > 0 && chars_[from - 1].text() != " ") --from;
  remove(from, cursor_);
}
void LineEditor::delete_under() { if (cursor_ < chars_.size()) remove(cursor_, cursor_ + 1); }
void LineEditor::go_left() { if (cursor_ > 0) move_to(cursor_ - 1); }
void LineEditor::go_right() { if (cursor_ < chars_.size()) move_to(cursor_ + 1); }
void LineEditor::go_home() { move_to(0); }
void LineEditor::go_end() { move_to(chars_.size()); }

std::string LineEditor::answer() const {
  std::string out(answer_capacity(), '\0');
  out.resize(copy_answer(out.data(), out.size()));
  return out;
}

std::size_t LineEditor::copy_answer(char* out, std::size_t capacity) const {
  std::size_t used = 0;
  for (const Char& c : chars_) {
    if (used + c.size > capacity) break;
    std::memcpy(out + used, c.bytes, c.size);
    used += c.size;
  }
  return used;
}

void LineEditor::wipe() {
  const Storage s = storage();
  if (s.size > 0) ::explicit_bzero(s.bytes, s.size);
  chars_.clear();
  pending_.drop();
  cursor_ = first_ = 0;
}

LineEditor::View LineEditor::view() const {
  View v{{}, 0, 0};
  for (std::size_t i = first_; i < chars_.size(); ++i) {
    const Char& c = chars_[i];
    if (v.width + c.width > settings_.field_columns) break;  // never half a wide character
    if (i == cursor_) v.cursor_col = v.width;
    v.text += settings_.secret ? "*" : c.unshown ? "?" : c.text();
    v.width += c.width;
  }
  if (cursor_ == chars_.size()) v.cursor_col = v.width;
  return v;
}

Outcome LineEditor::insert(Char c) {
  if (chars_.size() >= settings_.max_chars) return Outcome::Refused;
  chars_.insert(chars_.begin() + static_cast<std::ptrdiff_t>(cursor_), c);
  move_to(cursor_ + 1);
  return Outcome::Continue;
}

void LineEditor::move_to(std::size_t pos) {
  cursor_ = pos;
  scroll();
}

// The cursor always stands at `from` afterwards, so an empty range changes nothing.
void LineEditor::remove(std::size_t from, std::size_t to) {
  if (from == to) return;
  chars_.erase(chars_.begin() + static_cast<std::ptrdiff_t>(from), chars_.begin() + static_cast<std::ptrdiff_t>(to));
  move_to(from);
  pull_back();
}

// A shortened line, or a wider field, would leave columns idle on the right
// while the line's start is hidden: pull the view back to use them.
void LineEditor::pull_back() {
  int tail = cursor_ == chars_.size() ? 1 : 0;
  for (std::size_t i = first_; i < chars_.size(); ++i) tail += chars_[i].width;
  while (first_ > 0 && tail + chars_[first_ - 1].width <= settings_.field_columns) tail += chars_[--first_].width;
}

// Scrolls as little as keeps the cursor and the character under it whole on
// screen; at the end of the text the cursor needs a free column of its own.
void LineEditor::scroll() {
  if (first_ > cursor_) first_ = cursor_;
  int used = cursor_ < chars_.size() ? chars_[cursor_].width : 1;
  for (std::size_t i = first_; i < cursor_; ++i) used += chars_[i].width;
  while (used > settings_.field_columns) used -= chars_[first_++].width;
}

}  // namespace askbox
