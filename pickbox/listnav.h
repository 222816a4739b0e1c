// Where the list cursor stands and how each key moves it. Free of curses so
// every key sequence can be checked without a terminal.
#pragma once

#include "keys.h"
#include "layout.h"

namespace pickbox {

// first_shown: the list row on the window's first item row; highlight: the
// item row, 0 to kListRows - 1, that is highlighted.
struct Pos {
  int first_shown = 0;
  int highlight = 0;
  int selected() const { return first_shown + highlight; }
  bool operator==(const Pos& o) const { return first_shown == o.first_shown && highlight == o.highlight; }
};

enum class Action { None, Down, Up, PageDown, PageUp, First, Last, Choose, Quit, Redraw, Closed };

// The letters keep their codes exactly ('A' and 'B' typed are Up and Down,
// 'Z' chooses); cursor keys arrive decoded, whatever form the terminal sends.
Action key_action(const winkit::Key& key);

// n is the number of rows. None of these ever puts the cursor past the last
// row or shows a row past it.
Pos down(Pos p, int n);
Pos up(Pos p);
Pos last(Pos p, int n);
Pos apply(Action a, Pos p, int n);  // actions that do not move leave p as it is

// Row `row` of n highlighted, on item row `highlight` where the list allows
// it (never a blank row past the end while more rows could fill it).
Pos show_row(int row, int highlight, int n);

}  // namespace pickbox
