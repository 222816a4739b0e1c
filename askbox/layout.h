// The prompt window's size and where it stands on the screen.
#pragma once

#include "geometry.h"

namespace askbox {

constexpr int kWindowRows = 8;
constexpr int kWindowCols = 64;
// The prompt and the typed text start at column 4 and stop before the
// frame's right edge.
constexpr int kTextCol = 4;
constexpr int kFieldRow = 2;
constexpr int text_columns(int window_cols) { return window_cols - 1 - kTextCol; }

// Its title on the middle line, from column 4; narrower on a narrow screen.
constexpr winkit::Geometry prompt_geometry(int screen_lines, int screen_cols) {
  return winkit::on_middle_line(kWindowRows, kWindowCols, 4, screen_lines, screen_cols);
}

}  // namespace askbox
