// The list window's size and where it stands on the screen.
#pragma once

#include "geometry.h"

namespace pickbox {

constexpr int kWindowRows = 16;              // frame rows included
constexpr int kWindowCols = 24;              // frame columns included
constexpr int kListRows = kWindowRows - 2;   // item rows between the top and bottom edges
constexpr int kRowColumns = kWindowCols - 2; // columns an item row may use

// In the middle of the screen.
constexpr winkit::Geometry list_geometry(int screen_lines, int screen_cols) {
  winkit::Geometry at;
  at.rows = kWindowRows;
  at.cols = kWindowCols;
  at.top = screen_lines / 2 - kWindowRows / 2;
  at.left = screen_cols / 2 - kWindowCols / 2;
  at.need_lines = kWindowRows;
  at.need_cols = kWindowCols;
  return at;
}

}  // namespace pickbox
