#include "listnav.h"

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
  if (p.yy + p.j >= n - 1) return p;
  if (p.j > visible - 2) {
    ++p.yy;
    p.j = visible - 1;
  } else {
    ++p.j;
  }
  return p;
}

Pos up(Pos p) {
  if (p.yy > 0 && p.j == 0)
    --p.yy;
  else if (p.j > 0)
    --p.j;
  return p;
}

Pos last(Pos p, int n) {
  // With only a title there is no last item to go to.
  if (n < 1) return p;
  if (n <= visible) return Pos{0, n - 1};
  return Pos{n - visible, visible - 1};
}

Pos apply(Action a, Pos p, int n) {
  switch (a) {
    case Action::Down:
      return down(p, n);
    case Action::Up:
      return up(p);
    case Action::PageDown:
      for (int k = 0; k < visible; ++k) p = down(p, n);
      return p;
    case Action::PageUp:
      for (int k = 0; k < visible; ++k) p = up(p);
      return p;
    case Action::First:
      return Pos{};
    case Action::Last:
      return last(p, n);
    default:
      return p;
  }
}

int shown_rows(int n) { return n < visible ? n : visible; }

}  // namespace pickbox
