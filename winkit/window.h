// The one curses window a program draws in, and the frame two windows share.
// Separate from winkit.h because curses.h defines macros (erase, clear, move...)
// that code without curses must not see.
#pragma once

#include <curses.h>

namespace winkit {

// Owns a window made with newwin; deleted before the session ends when it is
// declared after the TermSession. Null when it does not fit wholly on the
// terminal.
class Window {
 public:
  Window(int rows, int cols, int top, int left);
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  bool ok() const { return win_ != nullptr; }
  WINDOW* get() const { return win_; }
  // Deletes the window now (idempotent): before ending curses.
  void close();

 private:
  WINDOW* win_ = nullptr;
};

// '|' sides, '-' top and bottom, curses' default corners.
void draw_frame(WINDOW* win);

}  // namespace winkit
