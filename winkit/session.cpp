#include <curses.h>
#include <term.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "winkit.h"

namespace winkit {

namespace {

// What a signal handler needs to give the terminal back. Filled before the
// handlers are armed; read only from the handler, so it lives in plain storage.
struct Restore {
  int fd = -1;
  termios modes{};
  char bytes[512] = {};  // the terminal's own strings for leaving the screen
  std::size_t len = 0;
};
Restore g_restore;
volatile std::sig_atomic_t g_armed = 0;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr std::size_t kSignalCount = sizeof kSignals / sizeof kSignals[0];
bool g_caught[kSignalCount] = {};  // which of them on_signal holds

// Curses' own handler ends curses from inside the signal and exits with
// status 1, so a script cannot tell an interrupt from a failure. This one
// only makes async-signal-safe calls and lets the signal end the process.
void on_signal(int sig) {
  if (g_armed) {
    g_armed = 0;
    if (g_restore.len > 0) {
      ssize_t ignored = ::write(g_restore.fd, g_restore.bytes, g_restore.len);
      (void)ignored;
    }
    ::tcsetattr(g_restore.fd, TCSADRAIN, &g_restore.modes);
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

std::string* g_collect = nullptr;
int collect(int c) {
  g_collect->push_back(static_cast<char>(c));
  return c;
}

// tigetstr's answer names a string the terminal has.
bool usable(const char* cap) { return cap != nullptr && cap != reinterpret_cast<const char*>(-1) && cap[0] != '\0'; }

// A terminfo string with its parameters and padding applied, as bytes.
std::string expand(const char* cap) {
  std::string out;
  if (!usable(cap)) return out;
  g_collect = &out;
  tputs(cap, 1, collect);
  g_collect = nullptr;
  return out;
}

std::string cursor_to(int row, int col) {
  if (cursor_address == nullptr) return {};
  return expand(tiparm(cursor_address, row, col));
}

}  // namespace

TermSession::TermSession(Screen screen) : mode_(screen) {
  std::FILE* out = stdout;
  if (!::isatty(STDOUT_FILENO)) {
    tty_ = std::fopen("/dev/tty", "r+");
    if (tty_ == nullptr) tty_ = std::fopen("/dev/tty", "w");
    if (tty_ == nullptr) return;
    out = tty_;
  }
  const int fd = ::fileno(out);
  termios before{};
  const bool have_modes = ::tcgetattr(fd, &before) == 0;

  // Curses catches only signals left at their default; note which those are
  // before it looks, so a caller's "ignore" stays as it was.
  bool was_default[kSignalCount] = {};
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    struct sigaction current {};
    was_default[i] = ::sigaction(kSignals[i], nullptr, &current) == 0 && current.sa_handler == SIG_DFL;
  }

  SCREEN* sp = newterm(nullptr, out, stdin);
  if (sp == nullptr) {
    if (tty_ != nullptr) std::fclose(tty_);
    tty_ = nullptr;
    return;
  }
  screen_ = sp;

  std::string leave = expand(exit_attribute_mode) + cursor_to(LINES - 1, 0) + expand(cursor_normal);
  char* enter_ca = tigetstr("smcup");
  char* exit_ca = tigetstr("rmcup");
  if (mode_ == Screen::Normal) {
    // newterm has already queued the switch to the alternate screen. Send it
    // (delay_output(0) only flushes) and switch straight back; then blank both
    // strings where curses keeps them, so neither endwin nor a resume after a
    // suspend switches again.
    if (usable(enter_ca) && usable(exit_ca)) {
      delay_output(0);
      const std::string back = expand(exit_ca);
      ssize_t ignored = ::write(fd, back.data(), back.size());
      (void)ignored;
    }
    if (usable(enter_ca)) enter_ca[0] = '\0';
    if (usable(exit_ca)) exit_ca[0] = '\0';
    leave += "\r\n";
  } else {
    leave += expand(exit_ca);
  }

  if (have_modes) {
    g_restore.fd = fd;
    g_restore.modes = before;
    g_restore.len = leave.size() < sizeof g_restore.bytes ? leave.size() : 0;
    std::memcpy(g_restore.bytes, leave.data(), g_restore.len);
    g_armed = 1;
    for (std::size_t i = 0; i < kSignalCount; ++i) {
      if (!was_default[i]) continue;
      struct sigaction action {};
      action.sa_handler = on_signal;
      sigemptyset(&action.sa_mask);
      for (int s : kSignals) sigaddset(&action.sa_mask, s);
      g_caught[i] = ::sigaction(kSignals[i], &action, nullptr) == 0;
    }
  }
}

TermSession::~TermSession() { end(); }

bool TermSession::ok() const { return screen_ != nullptr; }

void TermSession::rest_below(int row) { rest_row_ = row; }

void TermSession::end() {
  if (screen_ == nullptr) return;
  SCREEN* sp = static_cast<SCREEN*>(screen_);
  screen_ = nullptr;

  std::string after;
  if (mode_ == Screen::Normal && rest_row_ >= 0) {
    // endwin leaves the cursor on the last line; bring it up to just below
    // the drawing, or make room there when the drawing reaches the bottom.
    after = rest_row_ + 1 < LINES ? cursor_to(rest_row_ + 1, 0) : std::string("\n");
  }
  const int fd = tty_ != nullptr ? ::fileno(tty_) : STDOUT_FILENO;

  endwin();
  g_armed = 0;
  if (!after.empty()) {
    ssize_t ignored = ::write(fd, after.data(), after.size());
    (void)ignored;
  }
  // Back to the default these signals had before curses started.
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    if (g_caught[i]) ::signal(kSignals[i], SIG_DFL);
    g_caught[i] = false;
  }
  g_restore.fd = -1;
  delscreen(sp);
  if (tty_ != nullptr) std::fclose(tty_);
  tty_ = nullptr;
}

}  // namespace winkit
