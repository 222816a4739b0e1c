#include "window.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "terminal.h"
#include "text.h"

namespace winkit {

Window::~Window() { close(); }

void Window::close() {
  if (win_ != nullptr) delwin(win_);
  win_ = nullptr;
}

bool Window::place(const Geometry& at) {
  close();
  // newwin accepts a window that reaches past the screen's edge and curses
  // then draws only part of it: treat that as a window that cannot be made.
  if (!fits(at, LINES, COLS)) return false;
  win_ = newwin(at.rows, at.cols, at.top, at.left);
  return win_ != nullptr;
}

void draw_frame(WINDOW* win) { wborder(win, '|', '|', '-', '-', 0, 0, 0, 0); }

namespace {

// Clears the whole screen on the next update, so nothing of an earlier
// drawing stays (after a resize or a stop).
void blank_screen() {
  werase(stdscr);
  wnoutrefresh(stdscr);
  clearok(curscr, TRUE);
}

// The note broken at blanks into rows as wide as the screen, so a narrow
// one still reads what is needed; as many rows as the screen has.
std::vector<std::string> note_rows(const std::string& note) {
  std::vector<std::string> rows{""};
  for (std::size_t at = 0; at < note.size();) {
    std::size_t end = note.find(' ', at);
    if (end == std::string::npos) end = note.size();
    const std::string word = note.substr(at, end - at);
    if (!rows.back().empty() && static_cast<int>(rows.back().size() + 1 + word.size()) > COLS)
      rows.push_back(word);
    else
      rows.back() += (rows.back().empty() ? "" : " ") + word;
    at = end + 1;
  }
  if (static_cast<int>(rows.size()) > LINES) rows.resize(static_cast<std::size_t>(std::max(LINES, 1)));
  return rows;
}

// While the terminal is too small for the window: the whole screen blank but
// for the note at its top.
void show_note(const std::vector<std::string>& rows) {
  werase(stdscr);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string line = shown_text(rows[r], COLS);
    mvwaddnstr(stdscr, static_cast<int>(r), 0, line.data(), static_cast<int>(line.size()));
  }
  wrefresh(stdscr);
}

}  // namespace

bool place_window(Window& window, const Geometry& at) {
  blank_screen();
  if (window.place(at)) {
    drawn_area(at.top, at.left, at.rows, at.cols);
    return true;
  }
  const std::vector<std::string> rows = note_rows(too_small(at.need_lines, at.need_cols, LINES, COLS));
  drawn_area(0, 0, static_cast<int>(rows.size()), COLS);
  show_note(rows);
  return false;
}

void follow_resize(Window& window) {
  window.close();
  take_terminal_size();
}

namespace {

// Keys are read with curses' own decoding of the terminal's key strings;
// what it does not know is taken apart here.

// Milliseconds within which the rest of an escape sequence arrives: a
// terminal sends it in one piece, a person cannot type that fast.
constexpr int kSequenceMs = 50;
// A SIGWINCH that comes after the last look at the resize flag and before
// the read blocks would wait for the next key: the reads time out this often
// to look again.
constexpr int kResizeCheckMs = 100;
// Reads that fail (not time out) within one read_key before the input
// counts as ended.
constexpr int kFailedReads = 3;
// The most of a runaway sequence's rest dropped in one read.
constexpr std::size_t kSkippedMax = 4096;

KeyKind from_curses(int code) {
  switch (code) {
    case KEY_UP: return KeyKind::Up;
    case KEY_DOWN: return KeyKind::Down;
    case KEY_LEFT: return KeyKind::Left;
    case KEY_RIGHT: return KeyKind::Right;
    case KEY_HOME: return KeyKind::Home;
    case KEY_END: return KeyKind::End;
    // Where the keypad's Home and End are named Find and Select.
    case KEY_FIND: return KeyKind::Home;
    case KEY_SELECT: return KeyKind::End;
    case KEY_PPAGE: return KeyKind::PageUp;
    case KEY_NPAGE: return KeyKind::PageDown;
    case KEY_DC: return KeyKind::Delete;
    case KEY_RESIZE: return KeyKind::Resize;  // resizes are the session's, but should curses report one
    default: return KeyKind::Other;
  }
}

void take_mouse_report(WINDOW* win);

// Reads the bytes of a sequence that follow an ESC, or the rest of a mouse
// report, until `complete` says it is whole or the terminal stops sending.
// A key curses decodes at once after the ESC is that key with Alt held:
// taken with it, and `alt_key` says so; one that comes later is a key of its
// own, left for the next read.
template <typename Complete>
std::string read_sequence(WINDOW* win, Complete complete, bool* alt_key = nullptr) {
  std::string tail;
  wtimeout(win, kSequenceMs);
  while (!complete(tail)) {
    const int next = wgetch(win);
    if (next == ERR) break;
    if (next >= KEY_MIN) {
      // Decoded at once after the ESC, or after the ESC that follows it.
      if ((tail.empty() || tail == "\x1b") && alt_key != nullptr) {
        *alt_key = true;
        if (next == KEY_MOUSE) take_mouse_report(win);
      } else {
        ungetch(next);
      }
      break;
    }
    tail.push_back(static_cast<char>(next));
  }
  wtimeout(win, kResizeCheckMs);
  return tail;
}

// Curses names a mouse report by its opening bytes and leaves the rest
// unread: three raw bytes in the old form, parameters up to 'M' or 'm' in
// the form whose opening ends in '<'.
void take_mouse_report(WINDOW* win) {
  const char* opening = tigetstr("kmous");
  const bool sgr = usable(opening) &&
                   opening[std::strlen(opening) - 1] == '<';
  read_sequence(win, [sgr](const std::string& tail) {
    if (!sgr) return tail.size() >= 3 || tail.size() >= kLongestSequence;
    return (!tail.empty() && (tail.back() == 'M' || tail.back() == 'm')) || tail.size() >= kLongestSequence;
  });
}

// After a read gave nothing: whether the input has ended (or fails), rather
// than the read having timed out.
bool input_ended() {
  pollfd in{key_fd(), POLLIN, 0};
  return ::poll(&in, 1, 0) > 0;
}

}  // namespace

Key read_key(WINDOW* win) {
  if (!is_keypad(win)) keypad(win, TRUE);  // curses sends the terminal its keypad string each time
  wtimeout(win, kResizeCheckMs);
  int failed = 0;
  for (;;) {
    if (take_resize()) return {KeyKind::Resize};
    const int code = wgetch(win);
    if (code == ERR) {
      if (take_resize()) return {KeyKind::Resize};
      if (!input_ended()) continue;
      if (++failed < kFailedReads) continue;
      return {KeyKind::Closed};
    }
    if (code == KEY_MOUSE) {
      take_mouse_report(win);
      return {KeyKind::Other};
    }
    if (code >= KEY_MIN) {
      if (code == KEY_BACKSPACE) return {KeyKind::Byte, 0x7F};
      if (code == KEY_ENTER) return {KeyKind::Byte, '\r'};
      return {from_curses(code)};
    }
    if (code != 27) return {KeyKind::Byte, static_cast<unsigned char>(code)};

    // Curses hands back ESC when what follows is no key it knows (or nothing
    // follows): take the rest of such a sequence here, whole.
    bool alt_key = false;
    const std::string tail = read_sequence(win, [](const std::string& t) { return escape_complete(t); }, &alt_key);
    if (alt_key) return {KeyKind::Other};
    if (escape_cut(tail)) {
      // The rest of a runaway sequence would otherwise come as typed text.
      read_sequence(win, [](const std::string& t) {
        return !t.empty() && (ends_cut_sequence(static_cast<unsigned char>(t.back())) || t.size() >= kSkippedMax);
      });
      return {KeyKind::Other};
    }
    if (tail.empty()) return {KeyKind::Escape};
    return {escape_complete(tail) ? escape_key(tail) : KeyKind::Other};
  }
}

}  // namespace winkit
