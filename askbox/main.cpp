// askbox PROMPT NAME: reads one line in a framed window and prints NAME=value.
#include <termios.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>

#include "layout.h"
#include "lineedit.h"
#include "process.h"
#include "request.h"
#include "window.h"
#include "keys.h"
#include "session.h"
#include "terminal.h"
#include "text.h"

namespace {

const char kTitle[] = "-------------------JUX-INPUT--WINDOW----------------------------";
const char kField[] = "                                                              ";
const char kFieldEnd[] = "                                                             |";
static_assert(sizeof kTitle - 1 == 64, "the title covers the whole top row");
static_assert(sizeof kField - 1 == 62 && sizeof kFieldEnd - 1 == 62, "the field fills the frame's inside");

using askbox::kFieldRow;
using askbox::kTextCol;
using askbox::kTextCols;
constexpr std::size_t kLineLimit = 256;  // characters

// How the run ended.
enum class End { Line, Cancelled, Interrupted, InputEnded, TooSmall };

// The frame, the prompt, the title and the field's blanks.
void draw_window(WINDOW* w, const std::string& prompt) {
  wattroff(w, A_REVERSE);
  winkit::draw_frame(w);
  mvwaddnstr(w, 1, kTextCol, prompt.data(), static_cast<int>(prompt.size()));
  wattron(w, A_REVERSE);
  mvwaddstr(w, 0, 0, kTitle);
  for (int row = kFieldRow; row <= 4; ++row) mvwaddstr(w, row, 1, kField);
  mvwaddstr(w, 5, 1, kFieldEnd);
}

// The typed text as the field shows it, and the cursor in it.
void draw_field(WINDOW* w, const askbox::LineEditor& editor) {
  const askbox::LineEditor::View view = editor.view();
  mvwaddstr(w, kFieldRow, 1, kField);
  mvwaddnstr(w, kFieldRow, kTextCol, view.text.data(), static_cast<int>(view.text.size()));
  wmove(w, kFieldRow, kTextCol + view.cursor_col);
}

bool place_prompt_window(winkit::Window& window, const std::string& prompt) {
  if (!winkit::place_window(window, askbox::prompt_geometry(LINES, COLS))) return false;
  draw_window(window.get(), prompt);
  return true;
}

// The terminal's own erase and kill characters, which the editor honours too.
askbox::EditSettings settings() {
  askbox::EditSettings s;
  s.field_columns = kTextCols;
  s.max_chars = kLineLimit;
  termios modes{};
  if (::isatty(winkit::key_fd()) && ::tcgetattr(winkit::key_fd(), &modes) == 0) {
    if (modes.c_cc[VERASE] != _POSIX_VDISABLE) s.erase = modes.c_cc[VERASE];
    if (modes.c_cc[VKILL] != _POSIX_VDISABLE) s.kill = modes.c_cc[VKILL];
  }
  return s;
}

End edit(const std::string& prompt, askbox::LineEditor& editor) {
  winkit::Window prompt_window;
  if (!place_prompt_window(prompt_window, prompt)) return End::TooSmall;
  for (;;) {
    WINDOW* input_win = stdscr;
    if (prompt_window.ok()) {
      input_win = prompt_window.get();
      draw_field(input_win, editor);
      wrefresh(input_win);
    }
    const winkit::Key key = winkit::read_key(input_win);
    if (key.kind == winkit::KeyKind::Closed) return End::InputEnded;
    if (key.kind == winkit::KeyKind::Resize) {
      winkit::follow_resize(prompt_window);
      place_prompt_window(prompt_window, prompt);
      continue;
    }
    switch (editor.key(key.kind, key.byte)) {
      case askbox::Outcome::Continue: break;
      case askbox::Outcome::Refused: beep(); break;
      case askbox::Outcome::Enter: return End::Line;
      case askbox::Outcome::Cancel: return End::Cancelled;
      case askbox::Outcome::Interrupt: return End::Interrupted;
      case askbox::Outcome::EndOfInput: return End::InputEnded;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Before the prompt is cut: what a character is depends on the locale.
  std::setlocale(LC_CTYPE, "");
  const auto request = askbox::parse_args(argc, argv);
  if (!request) {
    std::fprintf(stderr, "Usage: askbox PROMPT NAME\n");
    return 1;
  }
  // The result is one line, so the name cannot hold a line break.
  if (request->name.find('\n') != std::string::npos) {
    winkit::say("askbox", "NAME holds a line break, and the answer must be one line");
    return 1;
  }
  const std::string prompt = winkit::shown_text(request->prompt, kTextCols);

  // Where the locale's characters cannot be read every typed one would be
  // dropped, and the answer silently empty.
  std::string reason = winkit::reason_charset_unreadable();
  End end = End::InputEnded;
  askbox::LineEditor editor;
  if (reason.empty()) {
    winkit::TermSession session;
    if (session.ok()) {
      editor = askbox::LineEditor(settings());  // the key terminal's, known once the session holds it
      end = edit(prompt, editor);
      if (end == End::TooSmall) {
        const winkit::Geometry at = askbox::prompt_geometry(LINES, COLS);
        reason = winkit::too_small(at.need_lines, at.need_cols, LINES, COLS);
      }
      session.end();
    } else {
      reason = session.reason();
    }
  }
  if (end == End::Interrupted) {
    // Ctrl-C as a byte (the terminal did not make it a signal) ends the
    // program as the signal would, unless the caller ignores that signal.
    struct sigaction current {};
    if (::sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
      winkit::die_by_signal(SIGINT);
    }
    reason = "interrupted";
  }
  if (end == End::InputEnded && reason.empty()) reason = "input ended before a line was entered";

  // Even without an answer the line is printed, so `NAME=` is always set;
  // the status tells a failure or a cancel from an empty answer.
  const std::string value = end == End::Line ? editor.answer() : std::string();
  const std::string line = askbox::result_line(request->name, value);
  const bool written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size() && std::fflush(stdout) == 0;
  if (reason.empty() && !written) reason = "cannot write the answer to standard output";
  if (!reason.empty()) {
    winkit::say("askbox", reason);
    return 1;
  }
  return end == End::Cancelled ? 255 : 0;
}
