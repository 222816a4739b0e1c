// askbox PROMPT NAME: reads one line in a framed window and prints NAME=value.
#include <clocale>
#include <cstdlib>
#include <cstdio>
#include <string>

#include "request.h"
#include "window.h"
#include "winkit.h"

namespace {

const char kTitle[] = "-------------------JUX-INPUT--WINDOW----------------------------";
const char kField[] = "                                                              ";
const char kFieldEnd[] = "                                                             |";
static_assert(sizeof kTitle - 1 == 64, "the title covers the whole top row");
static_assert(sizeof kField - 1 == 62 && sizeof kFieldEnd - 1 == 62, "the field fills the frame's inside");

constexpr int kRows = 8;
constexpr int kCols = 64;
constexpr int kLeft = 4;
// Bytes of a line; characters in a multibyte locale.
constexpr int kLineLimit = 256;

// Curses' line input at the cursor, echoing. In a multibyte locale the wide
// form is used: the byte form erases one byte of a character that takes
// several, which leaves a broken character in the answer.
bool read_line(WINDOW* w, std::string& value) {
  if (MB_CUR_MAX == 1) {
    // A resized terminal ends the byte form early with what was typed so far;
    // the line goes on from there.
    std::string line;
    for (;;) {
      char buff[kLineLimit + 1] = {};
      const int code = wgetnstr(w, buff, kLineLimit - static_cast<int>(line.size()));
      line += buff;
      if (code == OK) break;
      if (code != KEY_RESIZE) return false;
    }
    value = line;
    return true;
  }
  wint_t wbuff[kLineLimit + 1] = {};
  if (wgetn_wstr(w, wbuff, kLineLimit) != OK) return false;
  value = askbox::encode_line(wbuff);
  return true;
}

// Draws the window and reads the line; false when no line could be read.
bool ask(const std::string& msg, std::string& value) {
  echo();
  winkit::Window mvs(kRows, kCols, LINES / 2, kLeft);
  if (!mvs.ok()) return false;  // the terminal is too small for it
  WINDOW* w = mvs.get();
  wattroff(w, A_REVERSE);
  winkit::draw_frame(w);
  mvwprintw(w, 1, 4, "%s", msg.c_str());
  wattron(w, A_REVERSE);
  mvwprintw(w, 0, 0, "%s", kTitle);
  mvwprintw(w, 2, 1, "%s", kField);
  mvwprintw(w, 3, 1, "%s", kField);
  mvwprintw(w, 4, 1, "%s", kField);
  mvwprintw(w, 5, 1, "%s", kFieldEnd);
  wrefresh(w);
  mvwprintw(w, 2, 1, "%s", kField);
  echo();
  nocbreak();
  nl();

  const bool got = wmove(w, 2, 4) != ERR && read_line(w, value);

  noecho();
  cbreak();
  wrefresh(w);
  wattroff(w, A_REVERSE);
  noecho();
  mvs.close();
  return got;
}

}  // namespace

int main(int argc, char** argv) {
  const auto request = askbox::parse_args(argc, argv);
  if (!request) return 0;
  std::setlocale(LC_ALL, "");

  std::string value;
  bool got = false;
  {
    winkit::TermSession session;
    if (session.ok()) got = ask(request->msg, value);
    session.end();
  }

  // Even without an answer the line is printed, so `NAME=` is always set;
  // the status tells a failure from an empty answer.
  const std::string line = askbox::result_line(request->ename, value);
  const bool written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fflush(stdout) == 0;
  return got && written ? 0 : 1;
}
