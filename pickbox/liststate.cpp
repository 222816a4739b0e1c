#include "liststate.h"

#include <algorithm>
#include <string>

namespace pickbox {

namespace {

constexpr unsigned char kErase = 0x7F, kBackspace = 0x08, kKill = 0x15;

}  // namespace

ListState::ListState(ItemList items) : items_(items) { matches_.every(items.count); }

Outcome ListState::key(const winkit::Key& key) { return finding_ ? finding_key(key) : closed_key(key); }

Outcome ListState::closed_key(const winkit::Key& key) {
  if (key.kind == winkit::KeyKind::Byte && key.byte == '/' && items_.count > 0) {
    finding_ = true;
    anchor_ = chosen();
    return Outcome::Drawn;
  }
  const Action act = key_action(key);
  switch (act) {
    case Action::Choose: return Outcome::Choose;
    case Action::Quit: return Outcome::Quit;
    case Action::Closed: return Outcome::Closed;
    case Action::Redraw: return Outcome::Redraw;
    default: break;
  }
  const Pos moved = apply(act, pos_, rows());
  if (moved == pos_) return Outcome::None;
  pos_ = moved;
  return Outcome::Drawn;
}

Outcome ListState::finding_key(const winkit::Key& key) {
  using winkit::KeyKind;
  switch (key.kind) {
    case KeyKind::Escape:
      finding_ = false;
      find_.clear();
      matches_.every(items_.count);
      pos_ = show_row(anchor_, pos_.highlight, rows());
      return Outcome::Drawn;
    case KeyKind::Up:
    case KeyKind::Down:
    case KeyKind::PageUp:
    case KeyKind::PageDown:
    case KeyKind::Home:
    case KeyKind::End: {
      const Pos moved = apply(key_action(key), pos_, rows());
      if (moved == pos_) return Outcome::None;
      pos_ = moved;
      anchor_ = chosen();
      return Outcome::Drawn;
    }
    case KeyKind::Resize: return Outcome::Redraw;
    case KeyKind::Closed: return Outcome::Closed;
    case KeyKind::Byte: break;
    default: return Outcome::None;
  }
  if (key.byte == '\r' || key.byte == '\n') return rows() > 0 ? Outcome::Choose : Outcome::Beep;
  bool changed = false;
  bool grew = false;
  if (key.byte == kErase || key.byte == kBackspace)
    changed = find_.erase();
  else if (key.byte == kKill)
    changed = find_.clear();
  else
    changed = grew = find_.type(key.byte);
  if (!changed) return Outcome::None;
  follow_text(grew);
  return Outcome::Drawn;
}

// The rows again after the text changed; the highlight stays on its item
// while that still matches, else goes to the first match.
void ListState::follow_text(bool grew) {
  const std::string needle = folded(find_.text());
  if (needle.empty())
    matches_.every(items_.count);
  else if (grew)
    matches_.narrow(items_, needle);
  else
    matches_.refill(items_, needle);
  int row = matches_.row_of(anchor_);
  if (row < 0 && rows() > 0) {
    row = 0;
    anchor_ = item(0);
  }
  pos_ = show_row(std::max(row, 0), pos_.highlight, rows());
}

}  // namespace pickbox
