#include "window.h"

namespace winkit {

Window::Window(int rows, int cols, int top, int left) {
  // newwin accepts a window that reaches past the screen's edge and curses
  // then draws only part of it: treat that as a window that cannot be made.
  if (top < 0 || left < 0 || top + rows > LINES || left + cols > COLS) return;
  win_ = newwin(rows, cols, top, left);
}

Window::~Window() { close(); }

void Window::close() {
  if (win_ != nullptr) delwin(win_);
  win_ = nullptr;
}

void draw_frame(WINDOW* win) { wborder(win, '|', '|', '-', '-', 0, 0, 0, 0); }

}  // namespace winkit
