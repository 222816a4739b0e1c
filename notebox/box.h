// The message box: its place, its texts and the message it shows. Shared by
// the program and the test that draws the same box through curses.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "geometry.h"

namespace notebox {

inline constexpr char kTitle[] = " -----------  JUX  DIALOG MESSAGE ----------- ";
static_assert(sizeof kTitle - 1 == 46, "the title spans the top row between the corners");
inline constexpr char kDefaultMessage[] = "ダイアログメッセージです";  // UTF-8
// Where the locale's character set lacks katakana; the manual page's spelling.
inline constexpr char kDefaultAscii[] = "daiarogu messeeji desu";

constexpr int kRows = 8;
constexpr int kCols = 48;
// Its title on the middle line, from column 16; narrower on a narrow screen.
constexpr winkit::Geometry box_geometry(int screen_lines, int screen_cols) {
  return winkit::on_middle_line(kRows, kCols, 16, screen_lines, screen_cols);
}
// The message: at most this many bytes, from row 4, column 4 up to the
// frame, going on at column 4 of rows 5 and 6.
constexpr std::size_t kMessageBytes = 79;
constexpr int kTextRow = 4;
constexpr int kTextCol = 4;
constexpr int text_columns(int box_cols) { return box_cols - 1 - kTextCol; }
constexpr int kTextRows = 3;

// The title between the corner marks of a box `at.cols` wide: cut as any
// text is on a narrow box.
std::string title_on(const winkit::Geometry& at);

// One argument is the message, cut to kMessageBytes (never inside a
// character of the current locale); any other count shows the default.
std::string chosen_message(int argc, const char* const* argv);

// The default message in the current locale's character set, or its ASCII
// spelling where that set cannot hold it.
std::string default_message();

}  // namespace notebox
