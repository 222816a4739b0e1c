// Where the list cursor stands and how each key moves it. Free of curses so
// every key sequence can be checked without a terminal.
#pragma once

#include "keys.h"

namespace pickbox {

constexpr int ylen = 16;              // window height, frame rows included
constexpr int xlen = 24;              // window width, frame columns included
constexpr int visible = ylen - 2;     // item rows between the top and bottom edges
constexpr int inner = xlen - 2;       // columns an item row may use

// The window stands in the middle of the screen.
constexpr int top_row(int lines) { return lines / 2 - ylen / 2; }
constexpr int left_col(int cols) { return cols / 2 - xlen / 2; }
// The smallest terminal the centred window fits on.
constexpr int min_lines = ylen;
constexpr int min_cols = xlen;

// yy: index of the item on the first visible row; j: the cursor's visible
// row, 0 to visible - 1. The selected item is yy + j.
struct Pos {
  int yy = 0;
  int j = 0;
  int selected() const { return yy + j; }
  bool operator==(const Pos& o) const { return yy == o.yy && j == o.j; }
};

enum class Action { None, Down, Up, PageDown, PageUp, First, Last, Choose, Quit, Redraw, Closed };

// The letters keep their codes exactly ('A' and 'B' typed are Up and Down,
// 'Z' chooses); cursor keys arrive decoded, whatever form the terminal sends.
Action key_action(const winkit::Key& key);

// n is the number of items. None of these ever puts the cursor past the last
// item or shows a row past it.
Pos down(Pos p, int n);
Pos up(Pos p);
Pos last(Pos p, int n);
Pos apply(Action a, Pos p, int n);  // actions that do not move leave p as it is

// Item rows drawn on each pass.
int shown_rows(int n);

}  // namespace pickbox
