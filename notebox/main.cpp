// notebox [MESSAGE]: leaves a framed message on the terminal and returns at once.
#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>

#include "window.h"
#include "winkit.h"

namespace {

const char kTitle[] = " -----------  JUX  DIALOG MESSAGE ----------- ";
static_assert(sizeof kTitle - 1 == 46, "the title spans the top row between the corners");
const char kDefaultMessage[] = "ダイアログメッセージです";

constexpr int kRows = 8;
constexpr int kCols = 48;
constexpr int kLeft = 16;
constexpr int kMinLines = 15;  // the box's top is the middle line
constexpr int kMinCols = kLeft + kCols;
// The message: at most this many bytes, from row 4, column 4 up to the
// frame, going on at column 4 of rows 5 and 6.
constexpr std::size_t kMessageBytes = 79;
constexpr int kTextRow = 4;
constexpr int kTextCol = 4;
constexpr int kTextCols = kCols - 1 - kTextCol;
constexpr int kTextRows = 3;

// A script must not stop because a message could not be shown: say why, and
// succeed all the same.
int cannot_draw(const std::string& why) {
  std::fprintf(stderr, "notebox: %s\n", why.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // One argument is the message; any other count shows the default.
  std::string_view buff = kDefaultMessage;
  if (argc == 2) {
    buff = argv[1];
    buff = buff.substr(0, winkit::utf8_prefix(buff, kMessageBytes));
  }
  std::setlocale(LC_CTYPE, "");

  // The box is the program's whole output, so it must outlive the program:
  // draw on the normal screen, which the shell keeps.
  winkit::TermSession session(winkit::Screen::Normal, winkit::Input::None);
  if (!session.ok()) return cannot_draw(session.failure());
  const int top = LINES / 2;
  winkit::Window pvs(kRows, kCols, top, kLeft);
  if (!pvs.ok()) {
    const std::string why = winkit::too_small(kMinLines, kMinCols, LINES, COLS);
    session.end();
    return cannot_draw(why);
  }
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
