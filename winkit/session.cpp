#include <curses.h>
#include <term.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

#include "session.h"
#include "terminal.h"

namespace winkit {

namespace {

// What a signal handler needs to give the terminal back, and to take it
// again after a stop. Filled while the signals are blocked; read only from
// the handler, so it lives in plain storage.
struct Restore {
  int fd = -1;
  termios modes{};        // the terminal as the caller had it
  char leave[8192] = {};  // the terminal's own strings for leaving the screen
  std::size_t leave_len = 0;
  char enter[256] = {};  // and for taking it again
  std::size_t enter_len = 0;
  termios program{};  // the modes the window reads keys in
  bool have_program = false;
};
Restore g_restore;
volatile std::sig_atomic_t g_armed = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
constexpr std::size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
bool g_caught[kSignalCount] = {};  // which of them on_signal holds

// Resizes are ours too, not curses': curses would resize the program's
// window inside a key read, in the middle of its own refresh of it. Here a
// resize is only noted, and the program takes the new size
// (take_terminal_size) when it has no window open.
volatile std::sig_atomic_t g_resized = 0;
bool g_resize_caught = false;
int g_draw_fd = -1;  // the terminal the session draws on
int g_key_fd = -1;   // and the one it reads keys from
void on_resize(int) { g_resized = 1; }

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

sigset_t guarded_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kSignals) sigaddset(&set, s);
  return set;
}

// Once output is drained. A resize or a continue that interrupts the call
// (after a stop for the terminal, from the background) must not leave the
// modes unset. Safe in a signal handler.
void set_modes(int fd, const termios& modes) {
  while (::tcsetattr(fd, TCSADRAIN, &modes) != 0 && errno == EINTR) {
  }
}

// The one way the terminal is given back: the leaving strings, then the
// caller's modes. Every way out takes it; safe in a signal handler. The shell
// may hold the terminal already (it saw our parent stop first): with SIGTTOU
// blocked these calls go through instead of stopping us there, which would
// leave the later raise to stop us again after the shell's fg.
void restore_terminal() {
  sigset_t ttou, before;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  ::sigprocmask(SIG_BLOCK, &ttou, &before);
  write_all(g_restore.fd, g_restore.leave, g_restore.leave_len);
  set_modes(g_restore.fd, g_restore.modes);
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

// Ctrl-Z: the shell gets its terminal as it gave it; on `fg` the program's
// modes come back and a resize is noted, on which the window is drawn again
// whole. A script around us stops at once, and the shell's fg may come
// before we stop, even before the handler's first line: so SIGCONT is
// watched for as long as the session is armed, and a continue not yet taken
// drops this stop, or nothing would ever continue us. A continue while
// running (the stop never came) is taken as a resize: the shell has written
// its job line over the window.
volatile std::sig_atomic_t g_continued = 0;
void on_continue(int) {
  g_continued = 1;
  g_resized = 1;
}
struct sigaction g_old_cont {};
bool g_cont_caught = false;

// The window's modes and screen again, after a stop or after the shell had
// the terminal; safe in a signal handler. From the background the mode
// change stops us (SIGTTOU) until the shell's fg, and is then made.
void take_terminal_again() {
  if (g_restore.have_program) set_modes(g_restore.fd, g_restore.program);
  write_all(g_restore.fd, g_restore.enter, g_restore.enter_len);
}

void stop_and_resume() {
  restore_terminal();

  struct sigaction dfl {}, mine {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  ::sigaction(SIGTSTP, &dfl, &mine);
  ::raise(SIGTSTP);  // pending while blocked; a SIGCONT from now on discards it
  if (g_continued) {
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    sigemptyset(&ign.sa_mask);
    ::sigaction(SIGTSTP, &ign, nullptr);  // drops the pending stop
    ::sigaction(SIGTSTP, &dfl, nullptr);
  }
  sigset_t tstp, before;
  sigemptyset(&tstp);
  sigaddset(&tstp, SIGTSTP);
  ::sigprocmask(SIG_UNBLOCK, &tstp, &before);  // stopped here until SIGCONT
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
  ::sigaction(SIGTSTP, &mine, nullptr);
  g_continued = 0;

  take_terminal_again();
  g_resized = 1;  // the key read, interrupted, reports it
}

// Curses' own handler ends curses from inside the signal and exits with
// status 1, so a script cannot tell an interrupt from a failure. This one
// only makes async-signal-safe calls and lets the signal end the process.
void on_signal(int sig) {
  const int saved_errno = errno;
  if (sig == SIGTSTP && g_armed) {
    stop_and_resume();
    errno = saved_errno;
    return;
  }
  if (g_armed) {
    g_armed = 0;
    restore_terminal();
  }
  die_by_signal(sig);
  errno = saved_errno;  // a stop comes back here on SIGCONT
}

// Copies bytes into a handler's buffer, or nothing when they do not fit:
// half a string could leave the terminal in a stranger state than none.
template <std::size_t N>
std::size_t copy_whole(char (&buffer)[N], const std::string& bytes) {
  if (bytes.size() > N) return 0;
  std::memcpy(buffer, bytes.data(), bytes.size());
  return bytes.size();
}

// Blocks the guarded signals for its lifetime, so that set-up and tear-down
// are never cut in half; a signal that came meanwhile acts when it ends.
class BlockSignals {
 public:
  enum class Also { Nothing, BackgroundStops };
  explicit BlockSignals(Also also = Also::Nothing) {
    sigset_t set = guarded_signals();
    if (also == Also::BackgroundStops) sigaddset(&set, SIGTTOU);
    ::sigprocmask(SIG_BLOCK, &set, &before_);
  }
  ~BlockSignals() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }

 private:
  sigset_t before_;
};

// Only signals left at their default are caught, so a caller's "ignore"
// stays as it was, and curses, which catches only those still at their
// default, leaves them to us.
bool catch_if_default(int sig, void (*handler)(int), const sigset_t& mask) {
  struct sigaction current {};
  if (::sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return false;
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_mask = mask;
  action.sa_flags = 0;  // the key read is interrupted, so a stop or resize shows at once
  return ::sigaction(sig, &action, nullptr) == 0;
}

// Armed before curses touches the terminal: a signal at any moment from
// then on finds the modes to put back.
void arm_signals(int fd, const termios& modes) {
  g_restore = Restore{};
  g_restore.fd = fd;
  g_restore.modes = modes;
  g_armed = 1;
  for (std::size_t i = 0; i < kSignalCount; ++i) g_caught[i] = catch_if_default(kSignals[i], on_signal, guarded_signals());
  // Whatever the caller did with SIGCONT, the process continues on it; only
  // the note that it came is added.
  struct sigaction cont {};
  cont.sa_handler = on_continue;
  sigemptyset(&cont.sa_mask);
  g_continued = 0;
  g_cont_caught = ::sigaction(SIGCONT, &cont, &g_old_cont) == 0;
}

void catch_resizes() {
  sigset_t none;
  sigemptyset(&none);
  g_resize_caught = catch_if_default(SIGWINCH, on_resize, none);
}

// Back to the default these signals had before curses started; one that came
// meanwhile acts as the block ends, on a terminal already restored.
void disarm() {
  g_armed = 0;
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    if (g_caught[i]) ::signal(kSignals[i], SIG_DFL);
    g_caught[i] = false;
  }
  if (g_cont_caught) ::sigaction(SIGCONT, &g_old_cont, nullptr);
  g_cont_caught = false;
  if (g_resize_caught) ::signal(SIGWINCH, SIG_DFL);
  g_resize_caught = false;
  g_resized = 0;
  g_restore.fd = -1;
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
    if (erase.size() + 256 > sizeof g_restore.leave) erase = expand(clear_screen);
  }
  const std::string leave = expand(exit_attribute_mode) + erase + cursor_to(LINES - 1, 0) + expand(cursor_normal) +
                            expand(keypad_local) + g_exit_alternate;
  g_restore.leave_len = copy_whole(g_restore.leave, leave);
}

// Until its first endwin, curses writes after every cursor movement: end it
// at once, staying on the alternate screen newterm switched to, and keep the
// strings curses itself sends (tigetstr's, not the capability macros' copy)
// for leaving the screen and taking it again.
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
  g_restore.enter_len = copy_whole(g_restore.enter, expand(enter_ca) + expand(keypad_xmit));
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
    g_restore.program = modes;
    g_restore.have_program = true;
  }
}

// Keys typed before the window was drawn were meant for something else (a
// stray Enter must not answer a question not yet seen), and keys left when
// it ends must never reach the shell. Bytes of a pipe are the caller's and
// stay.
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
    keys_ = std::fopen("/dev/tty", "r");
    if (keys_ != nullptr) keys = keys_;
  }
  // A Ctrl-Z while starting waits for the start to end, and the shell may
  // take the terminal meanwhile: the start's calls on it then go through,
  // where a stop in their midst would leave the window's modes to the shell.
  BlockSignals blocked(BlockSignals::Also::BackgroundStops);
  reason_ = start(terminal_.file(), keys);
}

// Runs with the guarded signals blocked.
std::string TermSession::start(std::FILE* out, std::FILE* keys) {
  const int fd = ::fileno(out);
  termios before{};
  if (::tcgetattr(fd, &before) == 0) arm_signals(fd, before);
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
    disarm();
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
  restore_terminal();
  drop_typed_keys();
  disarm();
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

bool take_resize() {
  if (!g_resized) return false;
  g_resized = 0;
  BlockSignals blocked;  // a stop now must not find this continue untaken
  if (g_continued) {
    // Continued with no stop of ours: the shell may have had the terminal
    // and left its own modes on it.
    g_continued = 0;
    if (g_armed) take_terminal_again();
  }
  return true;
}

void take_terminal_size() {
  winsize size{};
  if (g_draw_fd >= 0 && ::ioctl(g_draw_fd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0)
    resize_term(size.ws_row, size.ws_col);
  BlockSignals blocked;
  note_leaving();
}


}  // namespace winkit
