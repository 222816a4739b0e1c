#include "listnav.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace pickbox {

Action key_action(long ch) {
  switch (ch) {
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
    case Action::First:
      return Pos{};
    case Action::Last:
      return last(p, n);
    default:
      return p;
  }
}

int shown_rows(int n) { return n < visible ? n : visible; }

int queue_id(const char* env) {
  if (!env) return default_qid;
  // atoi gives no defined result past the range of int; strtol saturates.
  long v = std::strtol(env, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace pickbox
