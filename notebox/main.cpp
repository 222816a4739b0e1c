// notebox [MESSAGE]: leaves a framed message on the terminal and returns at once.
#include <clocale>
#include <string>

#include "message.h"
#include "window.h"
#include "winkit.h"

namespace {

const char kTitle[] = " -----------  JUX  DIALOG MESSAGE ----------- ";
static_assert(sizeof kTitle - 1 == 46, "the title spans the top row between the corners");

constexpr int kRows = 8;
constexpr int kCols = 48;
constexpr int kLeft = 16;

}  // namespace

int main(int argc, char** argv) {
  const std::string buff = notebox::choose_message(argc, argv);
  std::setlocale(LC_ALL, "");

  // The box is the program's whole output, so it must outlive the program:
  // draw on the normal screen, which the shell keeps.
  winkit::TermSession session(winkit::Screen::Normal);
  if (!session.ok()) return 0;
  echo();
  const int top = LINES / 2;
  winkit::Window pvs(kRows, kCols, top, kLeft);
  if (pvs.ok()) {
    WINDOW* w = pvs.get();
    winkit::draw_frame(w);
    noecho();
    wattron(w, A_REVERSE);
    mvwprintw(w, 0, 1, "%s", kTitle);
    wattroff(w, A_REVERSE);
    mvwprintw(w, 0, 0, "+");
    mvwprintw(w, 0, kCols - 1, "+");
    mvwprintw(w, kRows - 1, 0, "+");
    mvwprintw(w, kRows - 1, kCols - 1, "+");
    mvwprintw(w, 4, 4, "%s", buff.c_str());
    wrefresh(w);
    session.rest_below(top + kRows - 1);
  }
  pvs.close();
  session.end();
  return 0;
}
