// The message box drawn through curses, cell for cell as notebox must leave
// it: the reference the parity test compares notebox with. Its own curses
// set-up, on the normal screen, since the box must stay after exit.
#include <term.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "box.h"
#include "process.h"
#include "window.h"
#include "terminal.h"
#include "text.h"

int main(int argc, char** argv) {
  using namespace notebox;
  std::setlocale(LC_CTYPE, "");
  const std::string message = chosen_message(argc, argv);
  SCREEN* sp = newterm(nullptr, stdout, stdin);
  if (sp == nullptr || !winkit::reason_cursor_unplaceable().empty()) return 1;
  // newterm has queued the switch to the alternate screen; endwin sends it
  // with the switch back. Blank both strings so that nothing switches again.
  endwin();
  for (const char* cap : {"smcup", "rmcup"}) {
    char* s = tigetstr(cap);
    if (winkit::usable(s)) s[0] = '\0';
  }
  const winkit::Geometry at = box_geometry(LINES, COLS);
  const int top = at.top;
  const int cols = at.cols;
  WINDOW* w = newwin(kRows, cols, top, at.left);
  if (w == nullptr || !winkit::fits(at, LINES, COLS)) return 1;
  winkit::draw_frame(w);
  wattron(w, A_REVERSE);
  mvwaddstr(w, 0, 1, title_on(at).c_str());
  wattroff(w, A_REVERSE);
  mvwaddstr(w, 0, 0, "+");
  mvwaddstr(w, 0, cols - 1, "+");
  mvwaddstr(w, kRows - 1, 0, "+");
  mvwaddstr(w, kRows - 1, cols - 1, "+");
  const std::vector<std::string> text = winkit::wrap_text(message, text_columns(cols), kTextRows);
  for (std::size_t i = 0; i < text.size(); ++i)
    mvwaddnstr(w, kTextRow + static_cast<int>(i), kTextCol, text[i].data(), static_cast<int>(text[i].size()));
  wrefresh(w);
  delwin(w);
  // endwin leaves the cursor on the last line; bring it up to just below the
  // box, or make room there when the box reaches the bottom.
  const int below = top + kRows;
  const std::string after = below < LINES ? winkit::cursor_to(below, 0) : std::string("\n");
  endwin();
  winkit::write_all(STDOUT_FILENO, after.data(), after.size());
  delscreen(sp);
  return 0;
}
