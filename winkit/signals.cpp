#include "signals.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "process.h"
#include "session.h"

namespace winkit {

namespace {

// What a handler needs to give the terminal back, and to take it again
// after a stop. Plain storage, written with the guarded signals blocked.
struct RestoreRecord {
  int fd = -1;
  int key_fd = -1;  // the terminal keys are read from, or -1 (a pipe's bytes are the caller's)
  termios caller_modes{};
  char leave[kLeavingMax] = {};  // the terminal's own strings for leaving the screen
  std::size_t leave_len = 0;
  char enter[256] = {};   // and for taking it again
  std::size_t enter_len = 0;
  termios window_modes{};
  bool have_window_modes = false;
};
RestoreRecord g_record;
volatile std::sig_atomic_t g_armed = 0;

constexpr int kGuarded[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
constexpr std::size_t kGuardedCount = sizeof kGuarded / sizeof kGuarded[0];
bool g_caught[kGuardedCount] = {};  // which of them on_signal holds

// Resizes are ours too, not curses': curses would resize the program's
// window inside a key read, in the middle of its own refresh of it. Here a
// resize is only noted, and the program takes the new size
// (take_terminal_size) when it has no window open.
volatile std::sig_atomic_t g_resized = 0;
bool g_resize_caught = false;
void on_resize(int) { g_resized = 1; }

sigset_t guarded_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kGuarded) sigaddset(&set, s);
  return set;
}

// Once output is drained. A resize or a continue that interrupts the call
// (after a stop for the terminal, from the background) must not leave the
// modes unset.
void set_modes(int fd, const termios& modes) {
  while (::tcsetattr(fd, TCSADRAIN, &modes) != 0 && errno == EINTR) {
  }
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
// the terminal. From the background the mode change stops us (SIGTTOU)
// until the shell's fg, and is then made.
void take_terminal_again() {
  if (g_record.have_window_modes) set_modes(g_record.fd, g_record.window_modes);
  write_all(g_record.fd, g_record.enter, g_record.enter_len);
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

// Memory to zero before a signal ends the process. A region is written
// whole before the count grows, with the guarded signals blocked.
struct Wiped {
  void* bytes;
  std::size_t len;
};
Wiped g_wiped[4] = {};
volatile std::sig_atomic_t g_wiped_count = 0;

// Not memset: a store to memory about to die may be left out.
void wipe_registered() {
  for (std::sig_atomic_t i = 0; i < g_wiped_count; ++i) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(g_wiped[i].bytes);
    for (std::size_t k = 0; k < g_wiped[i].len; ++k) p[k] = 0;
  }
}

// Curses' own handler ends curses from inside the signal and exits with
// status 1, so a script cannot tell an interrupt from a failure. This one
// gives the terminal back and lets the signal end the process.
// A secret typed so far is zeroed before.
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
  wipe_registered();
  die_by_signal(sig);
  errno = saved_errno;  // a stop comes back here on SIGCONT
}

template <std::size_t N>
std::size_t copy_whole(char (&buffer)[N], const std::string& bytes) {
  if (bytes.size() > N) return 0;
  std::memcpy(buffer, bytes.data(), bytes.size());
  return bytes.size();
}

// Curses catches only the signals still at their default, so it leaves
// these to us.
bool catch_if_default(int sig, void (*handler)(int), const sigset_t& mask) {
  struct sigaction current {};
  if (::sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return false;
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_mask = mask;
  action.sa_flags = 0;  // the key read is interrupted, so a stop or resize shows at once
  return ::sigaction(sig, &action, nullptr) == 0;
}

}  // namespace

BlockSignals::BlockSignals(Also also) {
  sigset_t set = guarded_signals();
  if (also == Also::BackgroundStops) sigaddset(&set, SIGTTOU);
  ::sigprocmask(SIG_BLOCK, &set, &before_);
}

BlockSignals::~BlockSignals() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }

void arm_signals(int fd, const termios& caller_modes, int key_fd) {
  g_record = RestoreRecord{};
  g_record.fd = fd;
  g_record.key_fd = ::isatty(key_fd) ? key_fd : -1;
  g_record.caller_modes = caller_modes;
  g_armed = 1;
  for (std::size_t i = 0; i < kGuardedCount; ++i) g_caught[i] = catch_if_default(kGuarded[i], on_signal, guarded_signals());
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

// One that came meanwhile acts as the caller's block ends, on a terminal
// already restored.
void disarm_signals() {
  g_armed = 0;
  for (std::size_t i = 0; i < kGuardedCount; ++i) {
    if (g_caught[i]) ::signal(kGuarded[i], SIG_DFL);
    g_caught[i] = false;
  }
  if (g_cont_caught) ::sigaction(SIGCONT, &g_old_cont, nullptr);
  g_cont_caught = false;
  if (g_resize_caught) ::signal(SIGWINCH, SIG_DFL);
  g_resize_caught = false;
  g_resized = 0;
  g_record.fd = -1;
  g_record.key_fd = -1;
}

void unblock_caught_signals() {
  sigset_t caught;
  sigemptyset(&caught);
  for (std::size_t i = 0; i < kGuardedCount; ++i)
    if (g_caught[i]) sigaddset(&caught, kGuarded[i]);
  if (g_resize_caught) sigaddset(&caught, SIGWINCH);
  if (g_cont_caught) sigaddset(&caught, SIGCONT);
  ::sigprocmask(SIG_UNBLOCK, &caught, nullptr);
}

bool wait_for_foreground(int fd) {
  const pid_t in_front = ::tcgetpgrp(fd);
  if (in_front < 0 || in_front == ::getpgrp()) return true;  // in front, or not our controlling terminal
  struct sigaction ttou {};
  if (::sigaction(SIGTTOU, nullptr, &ttou) != 0 || ttou.sa_handler == SIG_IGN) return true;
  sigset_t only_ttou, before;
  sigemptyset(&only_ttou);
  sigaddset(&only_ttou, SIGTTOU);
  ::sigprocmask(SIG_UNBLOCK, &only_ttou, &before);
  termios modes{};
  if (::tcgetattr(fd, &modes) == 0) set_modes(fd, modes);  // stopped here until fg; then it changes nothing
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
  return ::tcgetpgrp(fd) == ::getpgrp();
}

bool wipe_on_signal(void* bytes, std::size_t len) {
  BlockSignals blocked;
  if (g_wiped_count == static_cast<std::sig_atomic_t>(sizeof g_wiped / sizeof g_wiped[0])) return false;
  g_wiped[g_wiped_count] = Wiped{bytes, len};
  g_wiped_count = g_wiped_count + 1;
  return true;
}

void forget_wiped() {
  BlockSignals blocked;
  g_wiped_count = 0;
}

void record_leaving(const std::string& bytes) { g_record.leave_len = copy_whole(g_record.leave, bytes); }

void record_entering(const std::string& bytes) { g_record.enter_len = copy_whole(g_record.enter, bytes); }

void record_window_modes(const termios& modes) {
  g_record.window_modes = modes;
  g_record.have_window_modes = true;
}

// The shell may hold the terminal already (it saw our parent stop first):
// with SIGTTOU blocked these calls go through instead of stopping us there,
// which would leave the later raise to stop us again after the shell's fg.
// Keys typed for the window and not yet read (a secret too) must not go to
// the shell that reads the terminal next: a signal from the keyboard flushes
// them, one from kill(2) does not, so they are dropped here.
void restore_terminal() {
  sigset_t ttou, before;
  sigemptyset(&ttou);
  sigaddset(&ttou, SIGTTOU);
  ::sigprocmask(SIG_BLOCK, &ttou, &before);
  if (g_record.key_fd >= 0) ::tcflush(g_record.key_fd, TCIFLUSH);
  write_all(g_record.fd, g_record.leave, g_record.leave_len);
  set_modes(g_record.fd, g_record.caller_modes);
  ::sigprocmask(SIG_SETMASK, &before, nullptr);
}

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

}  // namespace winkit
