// askbox [-s] [-i TEXT] PROMPT NAME: reads one line in a framed window and
// prints NAME=value.
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "layout.h"
#include "lineedit.h"
#include "process.h"
#include "request.h"
#include "window.h"
#include "keys.h"
#include "session.h"
#include "signals.h"
#include "terminal.h"
#include "text.h"

namespace {

const char kTitle[] = "-------------------JUX-INPUT--WINDOW----------------------------";
static_assert(sizeof kTitle - 1 == askbox::kWindowCols, "the title covers the whole top row");

using askbox::kFieldRow;
using askbox::kTextCol;
constexpr std::size_t kLineLimit = 256;  // characters

// How the run ended.
enum class End { Line, Cancelled, Interrupted, InputEnded, TooSmall };

// The frame, the prompt, the title and the field's blanks, for a window
// `cols` wide: on a narrow one the title and the prompt are cut.
void draw_window(WINDOW* w, int cols, const std::string& prompt) {
  const std::string title = winkit::shown_text(kTitle, cols);
  const std::string shown_prompt = winkit::shown_text(prompt, askbox::text_columns(cols));
  const std::string field(static_cast<std::size_t>(cols - 2), ' ');
  wattroff(w, A_REVERSE);
  winkit::draw_frame(w);
  mvwaddnstr(w, 1, kTextCol, shown_prompt.data(), static_cast<int>(shown_prompt.size()));
  wattron(w, A_REVERSE);
  mvwaddnstr(w, 0, 0, title.data(), static_cast<int>(title.size()));
  for (int row = kFieldRow; row <= 5; ++row) mvwaddnstr(w, row, 1, field.data(), static_cast<int>(field.size()));
  mvwaddstr(w, 5, cols - 2, "|");  // the field's own right edge
}

// The typed text as the field shows it ('*'s for a secret), and the cursor in it.
void draw_field(WINDOW* w, const askbox::LineEditor& editor) {
  const askbox::LineEditor::View view = editor.view();
  const int cols = getmaxx(w);
  const std::string field(static_cast<std::size_t>(cols - 2), ' ');
  mvwaddnstr(w, kFieldRow, 1, field.data(), static_cast<int>(field.size()));
  mvwaddnstr(w, kFieldRow, kTextCol, view.text.data(), static_cast<int>(view.text.size()));
  wmove(w, kFieldRow, kTextCol + view.cursor_col);
}

// Puts the window where the terminal's size says, its field as wide as the
// window lets it be; false while it does not fit.
bool place_prompt_window(winkit::Window& window, const std::string& prompt, askbox::LineEditor& editor) {
  const winkit::Geometry at = askbox::prompt_geometry(LINES, COLS);
  if (!winkit::place_window(window, at)) return false;
  editor.set_field_columns(askbox::text_columns(at.cols));
  draw_window(window.get(), at.cols, prompt);
  return true;
}

// The terminal's own erase and kill characters, which the editor honours too.
askbox::EditSettings settings(bool secret) {
  askbox::EditSettings s;
  s.max_chars = kLineLimit;
  s.secret = secret;
  termios modes{};
  if (::isatty(winkit::key_fd()) && ::tcgetattr(winkit::key_fd(), &modes) == 0) {
    if (modes.c_cc[VERASE] != _POSIX_VDISABLE) s.erase = modes.c_cc[VERASE];
    if (modes.c_cc[VKILL] != _POSIX_VDISABLE) s.kill = modes.c_cc[VKILL];
  }
  return s;
}

End edit(const std::string& prompt, askbox::LineEditor& editor) {
  winkit::Window prompt_window;
  if (!place_prompt_window(prompt_window, prompt, editor)) return End::TooSmall;
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
      place_prompt_window(prompt_window, prompt, editor);
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

// A secret is kept as a passphrase is: no core dump can hold it, its pages
// never go to swap (where the limit on locked memory allows), and it is
// zeroed before exit, also when a signal ends the program.
class SecretKeeping {
 public:
  explicit SecretKeeping(bool secret) : secret_(secret) {
    if (secret_) ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  }
  ~SecretKeeping() {
    if (secret_) winkit::forget_wiped();
  }
  SecretKeeping(const SecretKeeping&) = delete;
  SecretKeeping& operator=(const SecretKeeping&) = delete;
  void keep(void* bytes, std::size_t len) {
    if (!secret_) return;
    ::mlock(bytes, len);  // refused past RLIMIT_MEMLOCK: the secret is still wiped
    winkit::wipe_on_signal(bytes, len);
  }

 private:
  bool secret_;
};

// The answer, copied out of the editor before the session ends: fixed
// storage, so no copy of a secret is left in freed memory.
char g_answer[kLineLimit * MB_LEN_MAX];

// NAME=value and a newline, written in one call where the output takes it
// whole; no stdio buffer keeps a copy.
bool write_result(std::string_view name, std::string_view value) {
  iovec parts[] = {{const_cast<char*>(name.data()), name.size()},
                   {const_cast<char*>("="), 1},
                   {const_cast<char*>(value.data()), value.size()},
                   {const_cast<char*>("\n"), 1}};
  iovec* next = parts;
  std::size_t left = sizeof parts / sizeof parts[0];
  while (left > 0) {
    const ssize_t n = ::writev(STDOUT_FILENO, next, static_cast<int>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    auto written = static_cast<std::size_t>(n);
    while (left > 0 && written >= next->iov_len) {
      written -= next->iov_len;
      ++next;
      --left;
    }
    if (left > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + written;
      next->iov_len -= written;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Before the prompt is cut: what a character is depends on the locale.
  std::setlocale(LC_CTYPE, "");
  const auto request = askbox::parse_args(argc, argv);
  if (!request) {
    std::fprintf(stderr, "Usage: askbox [-s] [-i TEXT] PROMPT NAME\n");
    return 1;
  }
  // The result is one line, so the name cannot hold a line break.
  if (request->name.find('\n') != std::string::npos) {
    winkit::say("askbox", "NAME holds a line break, and the answer must be one line");
    return 1;
  }
  SecretKeeping keeping(request->secret);

  // Where the locale's characters cannot be read every typed one would be
  // dropped, and the answer silently empty.
  std::string reason = winkit::reason_charset_unreadable();
  End end = End::InputEnded;
  std::size_t answer_size = 0;
  keeping.keep(g_answer, sizeof g_answer);
  // Made once the session holds the key terminal (its settings count), and
  // gone only after the session, whose handlers wipe the line.
  std::optional<askbox::LineEditor> editor;
  if (reason.empty()) {
    winkit::TermSession session;
    if (session.ok()) {
      editor.emplace(settings(request->secret));
      const askbox::LineEditor::Storage line = editor->storage();
      keeping.keep(line.bytes, line.size);
      editor->start_with(request->start_text);
      end = edit(request->prompt, *editor);
      if (end == End::Line) answer_size = editor->copy_answer(g_answer, sizeof g_answer);
      editor->wipe();
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
  const bool written = write_result(request->name, std::string_view(g_answer, answer_size));
  ::explicit_bzero(g_answer, sizeof g_answer);
  if (reason.empty() && !written) reason = "cannot write the answer to standard output";
  if (!reason.empty()) {
    winkit::say("askbox", reason);
    return 1;
  }
  return end == End::Cancelled ? 255 : 0;
}
