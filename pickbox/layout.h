// The list window's size and where it stands on the screen.
#pragma once

#include "geometry.h"

namespace pickbox {

constexpr int kWindowRows = 16;              // frame rows included
constexpr int kWindowCols = 24;              // frame columns included
constexpr int kListRows = kWindowRows - 2;   // item rows between the top and bottom edges
constexpr int kRowColumns = kWindowCols - 2; // columns an item row may use

// In the middle of the screen, never narrower.
constexpr winkit::Geometry list_geometry(int screen_lines, int screen_cols) {
  return winkit::fitted(kWindowRows, kWindowCols, screen_lines / 2 - kWindowRows / 2,
                        screen_cols / 2 - kWindowCols / 2, kWindowCols, screen_lines, screen_cols);
}

}  // namespace pickbox
