// The message box drawn through curses, cell for cell as notebox must leave
// it: the reference the parity test compares notebox with.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "box.h"
#include "window.h"
#include "winkit.h"

int main(int argc, char** argv) {
  using namespace notebox;
  std::setlocale(LC_CTYPE, "");
  const std::string buff = chosen_message(argc, argv);
  winkit::TermSession session(winkit::Screen::Normal, winkit::Input::None);
  if (!session.ok()) return 1;
  const int top = top_row(LINES);
  winkit::Window pvs(kRows, kCols, top, kLeft);
  if (!pvs.ok()) return 1;
  WINDOW* w = pvs.get();
  winkit::draw_frame(w);
  wattron(w, A_REVERSE);
  mvwaddstr(w, 0, 1, kTitle);
  wattroff(w, A_REVERSE);
  mvwaddstr(w, 0, 0, "+");
  mvwaddstr(w, 0, kCols - 1, "+");
  mvwaddstr(w, kRows - 1, 0, "+");
  mvwaddstr(w, kRows - 1, kCols - 1, "+");
  const std::vector<std::string> lines = winkit::wrap_text(buff, kTextCols, kTextRows);
  for (std::size_t i = 0; i < lines.size(); ++i)
    mvwaddnstr(w, kTextRow + static_cast<int>(i), kTextCol, lines[i].data(), static_cast<int>(lines[i].size()));
  wrefresh(w);
  session.rest_below(top + kRows - 1);
  pvs.close();
  session.end();
  return 0;
}
