#include "listnav.h"

#include <algorithm>

namespace pickbox {

Action key_action(const winkit::Key& key) {
  using winkit::KeyKind;
  switch (key.kind) {
    case KeyKind::Up: return Action::Up;
    case KeyKind::Down: return Action::Down;
    case KeyKind::PageUp: return Action::PageUp;
    case KeyKind::PageDown: return Action::PageDown;
    case KeyKind::Home: return Action::First;
    case KeyKind::End: return Action::Last;
    case KeyKind::Escape: return Action::Quit;
    case KeyKind::Resize: return Action::Redraw;
    case KeyKind::Closed: return Action::Closed;
    case KeyKind::Byte: break;
    default: return Action::None;
  }
  switch (key.byte) {
    case 'j':
    case 'B':
      return Action::Down;
    case 'k':
    case 'A':
      return Action::Up;
    case 't':
      return Action::First;
    case 'g':
      return Action::Last;
    case '\n':
    case '\r':
    case 'Z':
      return Action::Choose;
    case 'q':
      return Action::Quit;
    default:
      return Action::None;
  }
}

Pos down(Pos p, int n) {
  if (p.selected() >= n - 1) return p;
  if (p.highlight > kListRows - 2) {
    ++p.first_shown;
    p.highlight = kListRows - 1;
  } else {
    ++p.highlight;
  }
  return p;
}

Pos up(Pos p) {
  if (p.first_shown > 0 && p.highlight == 0)
    --p.first_shown;
  else if (p.highlight > 0)
    --p.highlight;
  return p;
}

Pos last(Pos p, int n) {
  // With only a title there is no last item to go to.
  if (n < 1) return p;
  if (n <= kListRows) return Pos{0, n - 1};
  return Pos{n - kListRows, kListRows - 1};
}

Pos apply(Action a, Pos p, int n) {
  switch (a) {
    case Action::Down:
      return down(p, n);
    case Action::Up:
      return up(p);
    case Action::PageDown:
      for (int k = 0; k < kListRows; ++k) p = down(p, n);
      return p;
    case Action::PageUp:
      for (int k = 0; k < kListRows; ++k) p = up(p);
      return p;
    case Action::First:
      return Pos{};
    case Action::Last:
      return last(p, n);
    default:
      return p;
  }
}

Pos show_row(int row, int highlight, int n) {
  if (n <= 0) return Pos{};
  const int first = std::clamp(row - highlight, 0, std::max(0, n - kListRows));
  return Pos{first, row - first};
}

}  // namespace pickbox
