// What the three windows share: the curses session guard, the choice of the
// terminal to draw on, and text fitting by bytes and by display columns.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace winkit {

// Where the window is drawn.
enum class Screen {
  Alternate,  // curses' usual way: the screen is given back as it was on exit
  Normal,     // no switch to the alternate screen: the drawing stays after exit
};

// Owns one curses session (one at a time). Draws on standard output when it is
// a terminal, otherwise on the controlling terminal (/dev/tty), so that a
// caller that captures standard output gets only the program's own result.
// Keys are read from standard input. Every way out (destructor, end(), and
// SIGINT, SIGTERM, SIGHUP or SIGQUIT unless the caller ignores them) ends
// curses and leaves the terminal in its normal mode; a signal then still ends
// the process, so the caller sees it.
class TermSession {
 public:
  explicit TermSession(Screen screen = Screen::Alternate);
  ~TermSession();
  TermSession(const TermSession&) = delete;
  TermSession& operator=(const TermSession&) = delete;

  // False when there is no terminal to draw on; curses was not started.
  bool ok() const;
  // Ends curses now (idempotent): before printing a result or running a command.
  void end();
  // Screen::Normal: when curses ends, leave the cursor at column 0 of the
  // line below screen row `row` (the drawing's last row), not on the last line.
  void rest_below(int row);

 private:
  std::FILE* tty_ = nullptr;  // /dev/tty when standard output is not a terminal
  void* screen_ = nullptr;    // the curses SCREEN
  Screen mode_;
  int rest_row_ = -1;
};

// Length of the longest prefix of s of at most max_bytes bytes that does not
// end inside a UTF-8 character.
std::size_t utf8_prefix(std::string_view s, std::size_t max_bytes);

// Columns s takes on the terminal in the current locale (wide characters 2).
int display_width(std::string_view s);

// The longest prefix of s that takes at most `max_columns` columns, never cut
// inside a character.
std::string_view clip_to_width(std::string_view s, int max_columns);

}  // namespace winkit
