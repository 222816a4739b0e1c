#include "window.h"

namespace winkit {

Window::Window(int rows, int cols, int top, int left) : win_(newwin(rows, cols, top, left)) {}

Window::~Window() { close(); }

void Window::close() {
  if (win_ != nullptr) delwin(win_);
  win_ = nullptr;
}

void draw_frame(WINDOW* win) { wborder(win, '|', '|', '-', '-', 0, 0, 0, 0); }

}  // namespace winkit
