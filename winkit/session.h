// The curses session guard: the terminal taken, and given back however the
// program ends. Free of curses.h (see window.h).
#pragma once

#include <cstdio>
#include <string>

#include "terminal.h"

namespace winkit {

// Owns one curses session (one at a time), drawn on the DrawingTerminal on
// the alternate screen. Keys are read from standard input when it is a
// terminal, otherwise from the controlling terminal, and only when there is
// none from standard input as it is; keys already waiting on a terminal when
// the session starts are dropped. On a terminal that has no alternate
// screen, the area given to drawn_area is erased on every way out. Every way
// out (destructor, end(), and SIGINT, SIGTERM, SIGHUP or SIGQUIT unless the
// caller ignores them, at any moment from the constructor on) ends curses
// and leaves the terminal in its normal mode; a signal then still ends the
// process, so the caller sees it. SIGTSTP gives the shell a clean terminal;
// on SIGCONT the program gets a Resize key, to draw its window again.
class TermSession {
 public:
  // Starts curses at once; ok() says whether it could. Not copied, as its
  // DrawingTerminal is not.
  TermSession();
  ~TermSession();

  // False when curses could not be started; reason() then says why.
  bool ok() const { return screen_ != nullptr; }
  const std::string& reason() const { return reason_; }
  // Ends curses now (idempotent): before printing a result or running a
  // command. Keys left unread on the terminal (the rest of a pasted block)
  // are dropped so that they never reach the shell.
  void end();

 private:
  std::string start(std::FILE* out, std::FILE* keys);
  DrawingTerminal terminal_;
  std::FILE* keys_ = nullptr;  // the controlling terminal opened for keys
  void* screen_ = nullptr;  // the curses SCREEN
  std::string reason_;
};

// The part of the screen the program draws on from now on (its window, or a
// note): what leaving erases where the drawing would otherwise stay.
void drawn_area(int top, int left, int rows, int cols);

// The descriptor keys are read from while a session lasts; -1 otherwise.
int key_fd();

// Whether the terminal changed size (or the program came back from a stop)
// since the last call; read_key reports it as KeyKind::Resize.
bool take_resize();
// Takes the terminal's new size into curses. Called after a Resize key with
// no window of the program's open; then the window is made anew.
void take_terminal_size();

}  // namespace winkit
