// The terminal a window is drawn on: which one, whether it can be used, and
// its own strings as bytes. The terminfo layer only: no curses screen.
#include <curses.h>
#include <term.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "terminal.h"

namespace winkit {

namespace {

std::string* g_collect = nullptr;
int collect(int c) {
  g_collect->push_back(static_cast<char>(c));
  return c;
}

}  // namespace

DrawingTerminal::DrawingTerminal() {
  if (::isatty(STDOUT_FILENO)) {
    file_ = stdout;
    return;
  }
  // Close-on-exec ("e"): a command the program starts never holds it.
  tty_ = std::fopen("/dev/tty", "r+e");
  if (tty_ == nullptr) tty_ = std::fopen("/dev/tty", "we");
  file_ = tty_;
}

DrawingTerminal::~DrawingTerminal() {
  if (tty_ != nullptr) std::fclose(tty_);
}

std::string DrawingTerminal::reason() const {
  if (file_ == nullptr) return "no terminal to draw on (standard output is not one, and there is no /dev/tty)";
  const char* term = std::getenv("TERM");
  if (term == nullptr || term[0] == '\0') return "TERM is not set, so the terminal's type is unknown";
  return {};
}

std::string reason_no_description() { return "no usable terminal description for TERM=" + std::string(std::getenv("TERM")); }

std::string reason_cursor_unplaceable() {
  if (usable(cursor_address)) return {};
  return "the terminal TERM=" + std::string(std::getenv("TERM")) + " cannot place the cursor";
}

std::string too_small(int need_lines, int need_cols, int have_lines, int have_cols) {
  return "terminal too small: needs " + std::to_string(need_lines) + " lines and " + std::to_string(need_cols) +
         " columns, has " + std::to_string(have_lines) + " lines and " + std::to_string(have_cols) + " columns";
}

bool usable(const char* cap) { return cap != nullptr && cap != reinterpret_cast<const char*>(-1) && cap[0] != '\0'; }

std::string expand(const char* cap) {
  std::string out;
  if (!usable(cap)) return out;
  g_collect = &out;
  tputs(cap, 1, collect);
  g_collect = nullptr;
  return out;
}

std::string cursor_to(int row, int col) {
  if (!usable(cursor_address)) return {};
  return expand(tiparm(cursor_address, row, col));
}

}  // namespace winkit
