// The one curses window a program draws in, askbox's frame, and key
// reading. Apart from the other headers because curses.h defines macros (erase,
// clear, move...) that code without curses must not see.
#pragma once

#include <curses.h>

#include "geometry.h"
#include "keys.h"
#include "session.h"

namespace winkit {

// Owns a window made with newwin; deleted before the session ends when it is
// declared after the TermSession. Null when it does not fit wholly on the
// terminal.
class Window {
 public:
  Window() = default;
  ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  bool ok() const { return win_ != nullptr; }
  WINDOW* get() const { return win_; }
  // Deletes the window now (idempotent): before ending curses.
  void close();
  // Makes the window anew at another place (after a resize); false, and no
  // window, when it does not fit there.
  bool place(const Geometry& at);

 private:
  WINDOW* win_ = nullptr;
};

// '|' sides, '-' top and bottom, curses' default corners (askbox's frame,
// and the message box's under its '+' marks).
void draw_frame(WINDOW* win);

// Blanks the screen and makes the window anew where `at` says; while it does
// not fit, the note that the terminal is too small stands instead (false).
bool place_window(Window& window, const Geometry& at);

// After a Resize key: the window closed, curses takes the new size; then the
// program places its window again.
void follow_resize(Window& window);

// Waits for the next key on win (its cursor shows where the user is). Esc
// alone is told from a sequence by a short pause after it.
Key read_key(WINDOW* win);

}  // namespace winkit
