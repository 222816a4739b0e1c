// The signal and job-control side of a curses session: giving the terminal
// back from a signal handler, stopping on Ctrl-Z and taking the terminal
// again on `fg`. Used by the session, and by a program only to name the
// memory a signal wipes (wipe_on_signal).
//
// The rules this code keeps:
// - A handler touches only the restore record, the sig_atomic_t flags, the
//   memory registered to be wiped (zeroed with a plain volatile loop) and
//   async-signal-safe calls (write, tcsetattr, sigaction, sigprocmask,
//   raise, signal). It allocates nothing and calls no curses or stdio.
// - The restore record is written only through the functions below, by the
//   session, with the guarded signals blocked (BlockSignals), so a handler
//   never reads half of it. Handlers only read it.
// - Every way out, normal or by a signal, gives the terminal back through
//   restore_terminal(): unread keys dropped, the leaving bytes, then the
//   caller's modes.
// - A signal that ends the process zeroes the registered memory (a secret
//   being typed) before it does; registering, like the restore record, is
//   done with the guarded signals blocked.
// - Only signals left at their default are caught: a caller's "ignore"
//   stays, and the signal still ends the process after the restore, so the
//   caller sees it.
#pragma once

#include <signal.h>
#include <termios.h>

#include <cstddef>
#include <string>

namespace winkit {

// The most bytes leaving the screen may take; a longer leaving is not kept.
constexpr std::size_t kLeavingMax = 8192;

// Blocks the guarded signals (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP)
// for its lifetime, so that set-up and tear-down are never cut in half; a
// signal that came meanwhile acts when it ends. BackgroundStops adds
// SIGTTOU: terminal calls then go through even when the shell has taken the
// terminal, instead of stopping in their midst.
class BlockSignals {
 public:
  enum class Also { Nothing, BackgroundStops };
  explicit BlockSignals(Also also = Also::Nothing);
  ~BlockSignals();
  BlockSignals(const BlockSignals&) = delete;
  BlockSignals& operator=(const BlockSignals&) = delete;

 private:
  sigset_t before_;
};

// Before curses touches the terminal fd: from then on a guarded signal puts
// caller_modes back, and drops the keys still unread on key_fd (a
// terminal; a pipe's bytes are the caller's). Also watches for SIGCONT and,
// with catch_resizes, for SIGWINCH.
void arm_signals(int fd, const termios& caller_modes, int key_fd = -1);
void catch_resizes();
// Every handler back to what it was; the restore record emptied.
void disarm_signals();
// The caught signals unblocked: a mask the caller blocked them in is
// inherited across exec, and would keep the window from ever redrawing on a
// resize or ending on Ctrl-C.
void unblock_caught_signals();

// Started in the background of a shell with job control, the program
// touches nothing on the terminal fd until the shell's fg: its first change
// of the terminal stops it (SIGTTOU), as for any full-screen program. False
// when it is still not in front after that: no shell is left to bring it
// there. Where the caller ignores SIGTTOU there is no stop to wait in, and
// the program goes on as it is.
bool wait_for_foreground(int fd);

// The restore record's bytes: what leaving the screen sends, and what
// taking it again after a stop sends. Bytes that do not fit are not kept
// at all: half a string could leave the terminal in a stranger state than
// none.
void record_leaving(const std::string& bytes);
void record_entering(const std::string& bytes);
// The modes the window reads keys in, put back after a stop.
void record_window_modes(const termios& modes);

// Memory that a guarded signal ending the process zeroes first: a secret's
// storage. It must stay valid until forget_wiped(); a few regions at most
// (false when there is no room for one more).
bool wipe_on_signal(void* bytes, std::size_t len);
void forget_wiped();

// Unread keys dropped, the leaving bytes, then the caller's modes.
// Signal-safe.
void restore_terminal();

}  // namespace winkit
