// The curses session: the terminal taken for a window and given back.
// The signal side (handlers, stop and resume) is in signals.cpp.
#include <curses.h>
#include <term.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "session.h"
#include "signals.h"
#include "terminal.h"

namespace winkit {

namespace {

int g_draw_fd = -1;  // the terminal the session draws on
int g_key_fd = -1;   // and the one it reads keys from

// On a terminal with no alternate screen the drawing would outlive the
// program: the way out erases the part of the screen drawn on. Both the
// area drawn now and the one before it, since a signal may come after a new
// place is known and before the old drawing is gone.
struct Area {
  int top = 0, left = 0, rows = 0, cols = 0;
};
bool g_no_alternate = false;
std::string g_exit_alternate;  // the alternate screen's way back, as bytes
Area g_areas[2];               // the one before, the one now

// Forgets the terminals and areas of the session that ended.
void forget_session() {
  g_draw_fd = -1;
  g_key_fd = -1;
  g_no_alternate = false;
  g_exit_alternate.clear();
  g_areas[0] = g_areas[1] = Area{};
}

// The bytes that blank an area in normal video, clipped to the screen as it
// is now. A blank written into the last column of the last line would scroll
// some terminals, so a line reaching the right edge is cleared to its end.
std::string erase_area(const Area& a) {
  std::string out;
  const int bottom = std::min(a.top + a.rows, LINES);
  const int right = std::min(a.left + a.cols, COLS);
  if (a.left >= right) return out;
  const char* ech = tigetstr("ech");
  for (int row = std::max(a.top, 0); row < bottom; ++row) {
    out += cursor_to(row, a.left);
    const int n = right - a.left;
    if (usable(ech))
      out += expand(tiparm(ech, n));
    else if (right == COLS && usable(clr_eol))
      out += expand(clr_eol);
    else
      out += std::string(static_cast<std::size_t>(n), ' ');
  }
  return out;
}

// What leaving sends, for the screen as it is now, into the handler's buffer:
// with no alternate screen the drawing erased first, or, too long for the
// buffer (a note as wide as a huge terminal), the whole screen cleared.
void note_leaving() {
  std::string erase;
  if (g_no_alternate) {
    erase = erase_area(g_areas[0]) + erase_area(g_areas[1]);
    if (erase.size() + 256 > kLeavingMax) erase = expand(clear_screen);
  }
  const std::string leave = expand(exit_attribute_mode) + erase + cursor_to(LINES - 1, 0) + expand(cursor_normal) +
                            expand(keypad_local) + g_exit_alternate;
  record_leaving(leave);
}

// Until its first endwin, curses writes after every cursor movement: end it
// at once, staying on the alternate screen newterm switched to, and keep the
// strings curses itself sends (tigetstr's, not the capability macros' copy)
// for leaving the screen and taking it again.
//
// endwin would also leave the alternate screen, and curses has no call to
// end without that. So rmcup is emptied for the one call: tigetstr returns
// a pointer into this process's own copy of the terminal description (heap
// memory curses loaded, not a literal), curses sends a string only when it
// is not empty, and the first byte is put back before anything else runs:
// the program has one thread and the guarded signals are blocked here.
void take_screen_strings() {
  char* enter_ca = tigetstr("smcup");
  char* exit_ca = tigetstr("rmcup");
  g_no_alternate = !usable(enter_ca);
  const char first = usable(exit_ca) ? exit_ca[0] : '\0';
  if (first != '\0') exit_ca[0] = '\0';
  endwin();
  if (first != '\0') exit_ca[0] = first;
  if (!g_no_alternate) g_exit_alternate = expand(exit_ca);
  note_leaving();
  record_entering(expand(enter_ca) + expand(keypad_xmit));
}

void set_key_modes(int fd) {
  cbreak();            // keys one at a time, yet Ctrl-C and Ctrl-Z stay signals
  noecho();            // the windows show what is typed themselves
  set_escdelay(50);    // Esc alone is told from a cursor key's sequence at once
  typeahead(-1);       // no poll for pending keys before every update
  // Ctrl-S would stop the output and seem to hang the window: it is a key
  // like any other here.
  termios modes{};
  if (::tcgetattr(fd, &modes) == 0) {
    modes.c_iflag &= ~static_cast<tcflag_t>(IXON);
    ::tcsetattr(fd, TCSADRAIN, &modes);
    def_prog_mode();
    record_window_modes(modes);
  }
}

// Keys typed before the window was drawn were meant for something else (a
// stray Enter must not answer a question not yet seen); those left when it
// ends go with restore_terminal. Bytes of a pipe are the caller's and stay.
void drop_typed_keys() {
  if (::isatty(g_key_fd)) ::tcflush(g_key_fd, TCIFLUSH);
}

}  // namespace


TermSession::TermSession() {
  reason_ = terminal_.reason();
  if (!reason_.empty()) return;
  // Keys come from the keyboard even when standard input is a file or a
  // pipe that belongs to the caller (a `while read` loop); only with no
  // terminal of our own is standard input read as it is.
  std::FILE* keys = stdin;
  if (!::isatty(STDIN_FILENO)) {
    keys_ = std::fopen("/dev/tty", "re");  // close-on-exec
    if (keys_ != nullptr) keys = keys_;
  }
  if (!wait_for_foreground(::fileno(terminal_.file()))) {
    reason_ = "started in the background, and no shell is left to bring it to the foreground";
    return;
  }
  {
    // A Ctrl-Z while starting waits for the start to end, and the shell may
    // take the terminal meanwhile: the start's calls on it then go through,
    // where a stop in their midst would leave the window's modes to the shell.
    BlockSignals blocked(BlockSignals::Also::BackgroundStops);
    reason_ = start(terminal_.file(), keys);
  }
  if (ok()) unblock_caught_signals();
}

// Runs with the guarded signals blocked.
std::string TermSession::start(std::FILE* out, std::FILE* keys) {
  const int fd = ::fileno(out);
  termios before{};
  if (::tcgetattr(fd, &before) == 0) arm_signals(fd, before, ::fileno(keys));
  catch_resizes();
  g_draw_fd = fd;
  g_key_fd = ::fileno(keys);

  SCREEN* sp = newterm(nullptr, out, keys);
  std::string reason = sp == nullptr ? reason_no_description() : reason_cursor_unplaceable();
  if (!reason.empty()) {
    // Nothing has been sent yet, and nothing is to leave: not endwin, which
    // would still move a cursor the terminal cannot place.
    if (sp != nullptr) delscreen(sp);
    restore_terminal();
    disarm_signals();
    forget_session();
    return reason;
  }
  screen_ = sp;
  take_screen_strings();
  set_key_modes(fd);
  drop_typed_keys();
  return {};
}

TermSession::~TermSession() {
  end();
  if (keys_ != nullptr) std::fclose(keys_);
}

void TermSession::end() {
  if (screen_ == nullptr) return;
  BlockSignals blocked;
  SCREEN* sp = static_cast<SCREEN*>(screen_);
  screen_ = nullptr;
  note_leaving();  // the screen's size as it is now
  restore_terminal();  // the rest of a pasted block dropped too
  disarm_signals();
  forget_session();
  delscreen(sp);
}


void drawn_area(int top, int left, int rows, int cols) {
  if (!g_no_alternate) return;
  BlockSignals blocked;
  g_areas[0] = g_areas[1];
  g_areas[1] = Area{top, left, rows, cols};
  note_leaving();
}

int key_fd() { return g_key_fd; }

void take_terminal_size() {
  winsize size{};
  if (g_draw_fd >= 0 && ::ioctl(g_draw_fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0)
    resize_term(size.ws_row, size.ws_col);
  BlockSignals blocked;
  note_leaving();
}


}  // namespace winkit
