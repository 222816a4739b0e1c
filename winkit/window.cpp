#include "window.h"

#include "terminal.h"
#include "text.h"

namespace winkit {

Window::Window(int rows, int cols, int top, int left) { place(rows, cols, top, left); }

Window::~Window() { close(); }

void Window::close() {
  if (win_ != nullptr) delwin(win_);
  win_ = nullptr;
}

bool Window::place(int rows, int cols, int top, int left) {
  close();
  // newwin accepts a window that reaches past the screen's edge and curses
  // then draws only part of it: treat that as a window that cannot be made.
  if (top < 0 || left < 0 || top + rows > LINES || left + cols > COLS) return false;
  win_ = newwin(rows, cols, top, left);
  return win_ != nullptr;
}

void draw_frame(WINDOW* win) { wborder(win, '|', '|', '-', '-', 0, 0, 0, 0); }

namespace {

// Clears the whole screen on the next update, so nothing of an earlier
// drawing stays (after a resize or a stop).
void blank_screen() {
  werase(stdscr);
  wnoutrefresh(stdscr);
  clearok(curscr, TRUE);
}

// While the terminal is too small for the window: the whole screen blank but
// for the note on its top row.
void show_note(const std::string& note) {
  werase(stdscr);
  const std::string line = shown_text(note, COLS);
  mvwaddnstr(stdscr, 0, 0, line.data(), static_cast<int>(line.size()));
  wrefresh(stdscr);
}

}  // namespace

bool place_window(Window& window, const Geometry& at) {
  blank_screen();
  if (window.place(at.rows, at.cols, at.top, at.left)) {
    drawn_area(at.top, at.left, at.rows, at.cols);
    return true;
  }
  drawn_area(0, 0, 1, COLS);
  show_note(too_small(at.need_lines, at.need_cols, LINES, COLS));
  return false;
}

void follow_resize(Window& window) {
  window.close();
  take_terminal_size();
}

}  // namespace winkit
