// Where a window stands: computed by each program from the terminal's size.
// Plain numbers, so the rules are checked without a terminal.
#pragma once

namespace winkit {

struct Geometry {
  int rows = 0, cols = 0;  // the window's size, frame included
  int top = 0, left = 0;   // its first line and column on the screen
  // The smallest terminal the window is drawn on; on a smaller one the
  // too-small note stands instead.
  int need_lines = 0, need_cols = 0;
};

// A window whose top edge is on the middle line of the screen, from column
// left: the prompt's and the message box's place.
constexpr Geometry on_middle_line(int rows, int cols, int left, int screen_lines) {
  Geometry at;
  at.rows = rows;
  at.cols = cols;
  at.top = screen_lines / 2;
  at.left = left;
  at.need_lines = 2 * rows - 1;
  at.need_cols = left + cols;
  return at;
}

}  // namespace winkit
