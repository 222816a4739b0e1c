// Where each window stands on a screen of a given size: the tests' own model
// of the layout, written apart from the programs' headers so that a change of
// place there shows here as a failure.
#pragma once

namespace testsupport {

struct Place {
  int top, left;    // the window's first row and column on the screen
  int rows, cols;   // its size, frame included
};

// pickbox: 16 rows by 24 columns, centred; 14 list rows of 22 columns inside.
constexpr Place pickbox_place(int screen_rows, int screen_cols) { return {screen_rows / 2 - 8, screen_cols / 2 - 12, 16, 24}; }
constexpr int kPickboxListRows = 14;
constexpr int kPickboxInner = 22;

// askbox: 8 rows by 64 columns from column 4, its title on the middle row.
constexpr Place askbox_place(int screen_rows) { return {screen_rows / 2, 4, 8, 64}; }

// notebox: 8 rows by 48 columns from column 16, its title on the middle row.
constexpr Place notebox_place(int screen_rows) { return {screen_rows / 2, 16, 8, 48}; }

}  // namespace testsupport
