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

// The window at its usual place where the screen has room for it there;
// otherwise moved up, then left, just enough to fit, at its usual size. A
// screen narrower than the window narrows it to the screen's width, down to
// min_cols; below that, or with fewer lines than the window has rows, it
// does not fit (need_lines, need_cols) and stands where it would overrun.
constexpr Geometry fitted(int rows, int cols, int usual_top, int usual_left, int min_cols, int screen_lines,
                          int screen_cols) {
  Geometry at;
  at.rows = rows;
  at.cols = cols < screen_cols ? cols : (screen_cols > min_cols ? screen_cols : min_cols);
  const int lowest_top = screen_lines - at.rows;
  const int rightmost_left = screen_cols - at.cols;
  at.top = usual_top <= lowest_top ? usual_top : (lowest_top > 0 ? lowest_top : 0);
  at.left = usual_left <= rightmost_left ? usual_left : (rightmost_left > 0 ? rightmost_left : 0);
  at.need_lines = rows;
  at.need_cols = min_cols;
  return at;
}

// Whether the screen holds the window at `at` whole.
constexpr bool fits(const Geometry& at, int screen_lines, int screen_cols) {
  return at.top >= 0 && at.left >= 0 && at.top + at.rows <= screen_lines && at.left + at.cols <= screen_cols;
}

// The narrowest the prompt and the message box become.
constexpr int kNarrowestCols = 40;

// A window whose top edge is on the middle line of the screen, from column
// left: the prompt's and the message box's usual place.
constexpr Geometry on_middle_line(int rows, int cols, int left, int screen_lines, int screen_cols) {
  return fitted(rows, cols, screen_lines / 2, left, kNarrowestCols, screen_lines, screen_cols);
}

}  // namespace winkit
