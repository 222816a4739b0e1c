// Where the list cursor stands and how each key moves it. Free of curses so
// every key sequence can be checked without a terminal.
#pragma once

namespace pickbox {

constexpr int ylen = 16;              // window height, frame rows included
constexpr int xlen = 24;              // window width, frame columns included
constexpr int visible = ylen - 2;     // item rows between the top and bottom edges
constexpr int inner = xlen - 2;       // columns an item row may use
constexpr int default_qid = 30001;    // queue id when JUX_QUEID is not set

// yy: index of the item on the first visible row; j: the cursor's visible
// row, 0 to visible - 1. The selected item is yy + j.
struct Pos {
  int yy = 0;
  int j = 0;
  int selected() const { return yy + j; }
  bool operator==(const Pos& o) const { return yy == o.yy && j == o.j; }
};

enum class Action { None, Down, Up, First, Last, Choose, Quit };

// Keys by exact code: cursor keys arrive as escape sequences whose last byte
// ('A' or 'B') is what moves the cursor, and the rest redraws only.
Action key_action(long ch);

// n is the number of items (the title is not one). None of these ever puts
// the cursor past the last item or shows a row past it.
Pos down(Pos p, int n);
Pos up(Pos p);
Pos last(Pos p, int n);
Pos apply(Action a, Pos p, int n);  // Choose, Quit and None leave p as it is

// Item rows drawn on each pass.
int shown_rows(int n);

// JUX_QUEID (nullptr when unset) read as atoi reads it, but held to the
// range of int instead of wrapping.
int queue_id(const char* env);

}  // namespace pickbox
