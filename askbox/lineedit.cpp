#include "lineedit.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
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
}

Outcome LineEditor::byte(unsigned char b) {
  // The terminal's erase and kill come first, as in its own line editing.
  const bool erase = is_setting(settings_.erase, b);
  const bool kill = is_setting(settings_.kill, b);
  if (!is_control(b) && !erase && !kill) return text_byte(b);
  pending_.clear();  // a key between the bytes of a character leaves it cut: it goes
  if (erase || b == kCtrlH || b == kDel) {
    if (cursor_ > 0) remove(cursor_ - 1, cursor_);
  } else if (kill || b == kCtrlU) {
    remove(0, cursor_);
  } else if (b == kCtrlK) {
    remove(cursor_, chars_.size());
  } else if (b == kCtrlW) {
    std::size_t from = cursor_;
    while (from > 0 && chars_[from - 1].bytes == " ") --from;
    while (from > 0 && chars_[from - 1].bytes != " ") --from;
    remove(from, cursor_);
  } else if (b == kCtrlA) {
    move_to(0);
  } else if (b == kCtrlE) {
    move_to(chars_.size());
  } else if (b == kCtrlD) {
    if (chars_.empty()) return Outcome::EndOfInput;
    return key(EditKey::Delete);
  } else if (b == kCr || b == kLf) {
    return Outcome::Enter;
  } else if (b == kCtrlC) {
    return Outcome::Interrupt;
  }
  // Any other control byte (Esc among them) is dropped.
  return Outcome::Continue;
}

Outcome LineEditor::text_byte(unsigned char b) {
  if (!multibyte_) {
    // Kept as typed; shown only when the locale calls it printable and one
    // column wide, so no terminal control byte is ever drawn.
    const std::wint_t wc = std::btowc(b);
    const bool shown = wc != WEOF && std::iswprint(wc) && ::wcwidth(static_cast<wchar_t>(wc)) == 1;
    return insert({std::string(1, static_cast<char>(b)), 1, !shown});
  }
  pending_.push_back(static_cast<char>(b));
  wchar_t wc = 0;
  std::mbstate_t state{};
  const std::size_t n = std::mbrtowc(&wc, pending_.data(), pending_.size(), &state);
  if (n == static_cast<std::size_t>(-2) && pending_.size() < MB_LEN_MAX) return Outcome::Continue;
  if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
    // Never keep half a character: the cut sequence goes, and b starts afresh
    // unless it was the offending byte alone.
    const bool alone = pending_.size() == 1;
    pending_.clear();
    return alone ? Outcome::Continue : text_byte(b);
  }
  std::string bytes;
  bytes.swap(pending_);
  // A character that takes no column (a combining mark, a zero-width space)
  // would leave the cursor's column ambiguous; it goes with the unprintable.
  const int width = ::wcwidth(wc);
  if (!std::iswprint(static_cast<std::wint_t>(wc)) || width <= 0) return Outcome::Continue;
  return insert({std::move(bytes), width, false});
}

Outcome LineEditor::key(EditKey k) {
  pending_.clear();
  switch (k) {
    case EditKey::Left:
      if (cursor_ > 0) move_to(cursor_ - 1);
      break;
    case EditKey::Right:
      if (cursor_ < chars_.size()) move_to(cursor_ + 1);
      break;
    case EditKey::Home:
      move_to(0);
      break;
    case EditKey::End:
      move_to(chars_.size());
      break;
    case EditKey::Delete:
      if (cursor_ < chars_.size()) remove(cursor_, cursor_ + 1);
      break;
  }
  return Outcome::Continue;
}

Outcome LineEditor::cancel() {
  pending_.clear();
  return Outcome::Cancel;
}

std::string LineEditor::answer() const {
  std::string out;
  for (const Char& c : chars_) out += c.bytes;
  return out;
}

LineEditor::View LineEditor::view() const {
  View v{{}, 0, 0};
  for (std::size_t i = first_; i < chars_.size(); ++i) {
    const Char& c = chars_[i];
    if (v.width + c.width > settings_.field_columns) break;  // never half a wide character
    if (i == cursor_) v.cursor_col = v.width;
    v.text += c.odd ? "?" : c.bytes;
    v.width += c.width;
  }
  if (cursor_ == chars_.size()) v.cursor_col = v.width;
  return v;
}

Outcome LineEditor::insert(Char c) {
  if (chars_.size() >= settings_.max_chars) return Outcome::Refused;
  chars_.insert(chars_.begin() + static_cast<std::ptrdiff_t>(cursor_), std::move(c));
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
  // A shortened line would leave columns idle on the right while its start
  // is hidden: pull the view back to use them.
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
