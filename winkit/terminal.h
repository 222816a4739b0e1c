// The terminal a window is drawn on and its own strings as bytes. The
// terminfo layer: no curses screen.
#pragma once

#include <cstdio>
#include <string>

namespace winkit {

// The terminal a window is drawn on: standard output when it is a terminal,
// otherwise the controlling terminal (/dev/tty), opened here and closed with
// this object, so that a caller that captures standard output gets only the
// program's own result.
class DrawingTerminal {
 public:
  DrawingTerminal();
  ~DrawingTerminal();
  DrawingTerminal(const DrawingTerminal&) = delete;
  DrawingTerminal& operator=(const DrawingTerminal&) = delete;

  std::FILE* file() const { return file_; }  // null when there is none
  // Why nothing can be drawn before the terminal's description is even
  // looked up (no terminal, TERM unset); empty when nothing is known wrong.
  std::string reason() const;

 private:
  std::FILE* tty_ = nullptr;
  std::FILE* file_ = nullptr;
};

// The loaded terminal's strings (after newterm or setupterm), as bytes.
// usable: tigetstr's answer names a string the terminal has.
bool usable(const char* cap);
// A string with its padding applied; empty when the terminal lacks it.
std::string expand(const char* cap);
// The bytes that put the cursor at row, col (0-based).
std::string cursor_to(int row, int col);

// After the terminal's description was looked up: the reason given when it
// could not be, and the reason (or nothing) about placing the cursor.
std::string reason_no_description();
std::string reason_cursor_unplaceable();

// "terminal too small: needs R lines and C columns, has r lines and c columns"
std::string too_small(int need_lines, int need_cols, int have_lines, int have_cols);

}  // namespace winkit
