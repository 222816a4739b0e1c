// Where each window stands on a screen of a given size, and what it shows:
// the tests' own model of the layout, written apart from the programs'
// headers so that a change of place there shows here as a failure.
#pragma once

#include <string>

namespace testsupport {

struct Place {
  int top, left;    // the window's first row and column on the screen
  int rows, cols;   // its size, frame included
};

// A window that overruns the screen at its usual place goes up, then left,
// as far as it overruns; one wider than the screen takes the screen's width.
constexpr Place moved_into(Place usual, int screen_rows, int screen_cols, bool narrows) {
  Place p = usual;
  if (narrows && p.cols > screen_cols) p.cols = screen_cols;
  if (p.top + p.rows > screen_rows) p.top = screen_rows - p.rows;
  if (p.left + p.cols > screen_cols) p.left = screen_cols - p.cols;
  return p;
}

// pickbox: 16 rows by 24 columns, centred; 14 list rows of 22 columns inside.
constexpr Place pickbox_place(int screen_rows, int screen_cols) { return {screen_rows / 2 - 8, screen_cols / 2 - 12, 16, 24}; }
constexpr int kPickboxListRows = 14;
constexpr int kPickboxInner = 22;

// askbox: 8 rows by 64 columns from column 4, its title on the middle row.
constexpr Place askbox_place(int screen_rows, int screen_cols = 80) {
  return moved_into({screen_rows / 2, 4, 8, 64}, screen_rows, screen_cols, true);
}

// notebox: 8 rows by 48 columns from column 16, its title on the middle row.
constexpr Place notebox_place(int screen_rows, int screen_cols = 80) {
  return moved_into({screen_rows / 2, 16, 8, 48}, screen_rows, screen_cols, true);
}

// The note that stands instead of askbox or notebox on a screen below 8
// lines or 40 columns; empty where the window is drawn.
inline std::string note_too_small(int screen_rows, int screen_cols) {
  if (screen_rows >= 8 && screen_cols >= 40) return "";
  return "terminal too small: needs 8 lines and 40 columns, has " + std::to_string(screen_rows) + " lines and " +
         std::to_string(screen_cols) + " columns";
}

// ASCII s cut or filled with blanks to n columns.
inline std::string fitted(const std::string& s, int n) {
  return s.size() >= static_cast<std::size_t>(n) ? s.substr(0, n) : s + std::string(n - s.size(), ' ');
}

// askbox's window `cols` wide, a line a row: the title and the prompt cut,
// the field showing `field` (ASCII). Its video: the title row and the
// field's rows in reverse inside the frame.
inline std::string askbox_picture(int cols, const std::string& prompt, const std::string& field) {
  const std::string empty = "|" + std::string(cols - 2, ' ') + "|\n";
  return fitted("-------------------JUX-INPUT--WINDOW" + std::string(28, '-'), cols) + "\n|   " + fitted(prompt, cols - 5) +
         "|\n|   " + fitted(field, cols - 5) + "|\n" + empty + empty + "|" + std::string(cols - 3, ' ') + "||\n" + empty +
         "\u2514" + std::string(cols - 2, '-') + "\u2518\n";
}
inline std::string askbox_video(int cols) {
  const std::string field = "." + std::string(cols - 2, '#') + ".\n";
  const std::string plain = std::string(cols, '.') + "\n";
  return std::string(cols, '#') + "\n" + plain + field + field + field + field + plain + plain;
}

// notebox's box `cols` wide, its message rows holding `lines` (ASCII).
inline std::string notebox_picture(int cols, const std::string (&lines)[3]) {
  std::string box = "+" + fitted(" -----------  JUX  DIALOG MESSAGE ----------- ", cols - 2) + "+\n";
  for (int r = 1; r < 7; ++r) box += "|" + (r < 4 ? std::string(cols - 2, ' ') : "   " + fitted(lines[r - 4], cols - 5)) + "|\n";
  return box + "+" + std::string(cols - 2, '-') + "+\n";
}

// The whole screen: `window` (lines of `place.cols` columns) at its place,
// `blank` around it (' ' for a picture, '.' for a video).
inline std::string on_screen(int screen_rows, int screen_cols, const Place& place, const std::string& window,
                             char blank = ' ') {
  std::string screen;
  std::size_t at = 0;
  for (int r = 0; r < screen_rows; ++r) {
    std::string line(screen_cols, blank);
    if (r >= place.top && r < place.top + place.rows) {
      const std::size_t end = window.find('\n', at);
      line = std::string(place.left, blank) + window.substr(at, end - at) +
             std::string(screen_cols - place.left - place.cols, blank);
      at = end + 1;
    }
    screen += line + "\n";
  }
  return screen;
}

}  // namespace testsupport
