// notebox [MESSAGE]: leaves a framed message on the terminal and returns at once.
//
// The box is the program's whole output, so it must outlive the program: it
// is drawn on the normal screen, which the shell keeps. Nothing is read and
// no terminal mode is changed, so the drawing needs no curses session: the
// terminal's own strings, put together here, leave in one write.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <curses.h>
#include <term.h>

#include "box.h"
#include "process.h"
#include "terminal.h"
#include "text.h"

namespace {

using namespace notebox;

// A script must not stop because a message could not be shown: say why, and
// succeed all the same.
int cannot_draw(const std::string& reason) {
  winkit::say("notebox", reason);
  return 0;
}

bool is_ascii(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// The bytes that draw the box on a cleared screen and leave the cursor at
// the start of the line below it.
std::string drawing(std::string_view message, int rows, int cols) {
  const winkit::Geometry at = box_geometry(rows, cols);
  const int top = at.top;
  const int left = at.left;
  const int right = left + at.cols - 1;
  std::string out = winkit::expand(exit_attribute_mode);
  if (winkit::usable(clear_screen)) {
    out += winkit::expand(clear_screen);
  } else {
    for (int r = 0; r < rows; ++r) out += winkit::cursor_to(r, 0) + std::string(cols - 1, ' ');
  }
  out += winkit::cursor_to(top, left) + "+" + winkit::expand(enter_reverse_mode) + title_on(at) +
         winkit::expand(exit_attribute_mode) + "+";
  for (int r = 1; r < kRows - 1; ++r) out += winkit::cursor_to(top + r, left) + "|" + winkit::cursor_to(top + r, right) + "|";
  const std::vector<std::string> text = winkit::wrap_text(message, text_columns(at.cols), kTextRows);
  for (std::size_t i = 0; i < text.size(); ++i)
    out += winkit::cursor_to(top + kTextRow + static_cast<int>(i), left + kTextCol) + text[i];
  out += winkit::cursor_to(top + kRows - 1, left) + "+" + std::string(at.cols - 2, '-');
  // The last cell of the screen scrolls it on a terminal that wraps at once.
  const bool last_cell = top + kRows == rows && right == cols - 1;
  if (!last_cell || !auto_right_margin || eat_newline_glitch) out += "+";
  // Below the box, or a new line made for it when the box takes the last.
  out += top + kRows < rows ? winkit::cursor_to(top + kRows, 0) : winkit::cursor_to(rows - 1, 0) + "\n";
  return out;
}


// Draws the box on the terminal; the reason when it could not.
std::string draw(const winkit::DrawingTerminal& terminal, std::string_view message) {
  const int fd = ::fileno(terminal.file());
  int found = 0;
  if (setupterm(nullptr, fd, &found) != OK) return winkit::reason_no_description();
  std::string reason = winkit::reason_cursor_unplaceable();
  // setupterm has set these to the screen's size as curses takes it: the
  // terminal's own, unless LINES or COLUMNS say otherwise.
  const int rows = lines;
  const int cols = columns;
  const winkit::Geometry at = box_geometry(rows, cols);
  if (reason.empty() && !winkit::fits(at, rows, cols))
    reason = winkit::too_small(at.need_lines, at.need_cols, rows, cols);
  if (reason.empty()) {
    const std::string bytes = drawing(message, rows, cols);
    if (!winkit::write_all(fd, bytes.data(), bytes.size())) reason = "cannot write to the terminal";
  }
  del_curterm(cur_term);
  return reason;
}

}  // namespace

int main(int argc, char** argv) {
  // Said after the box, on the line below it, where the user can read them.
  std::vector<std::string> notes;
  if (argc > 2)
    notes.push_back("the message must be one argument, got " + std::to_string(argc - 1) +
                    "; showing the default message");
  // Only text beyond ASCII needs the locale (the default message is such).
  if (argc != 2 || !is_ascii(argv[1])) {
    std::setlocale(LC_CTYPE, "");
    const std::string reason = winkit::reason_charset_unreadable();
    if (!reason.empty()) {
      // Read as ASCII, the text still shows, with a mark for what cannot.
      std::setlocale(LC_CTYPE, "C");
      notes.push_back(reason + (argc == 2 ? "; bytes beyond ASCII show as ?" : "; showing the default message in ASCII"));
    }
  }
  const std::string message = chosen_message(argc, argv);

  std::string reason;
  {
    const winkit::DrawingTerminal terminal;
    reason = terminal.reason();
    if (reason.empty()) reason = draw(terminal, message);
  }
  for (const std::string& note : notes) winkit::say("notebox", note);
  return reason.empty() ? 0 : cannot_draw(reason);
}
