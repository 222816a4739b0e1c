// What the three windows share: the curses session guard, the choice of the
// terminal to draw on, the keys as the windows see them, and text fitting by
// bytes and by display columns. Free of curses.h (see window.h).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace winkit {

// The terminal a window is drawn on: standard output when it is a terminal,
// otherwise the controlling terminal (/dev/tty), opened here and closed with
// this object, so that a caller that captures standard output gets only the
// program's own result.
class DrawingTerminal {
 public:
  DrawingTerminal();
  ~DrawingTerminal();
  DrawingTerminal(const DrawingTerminal&) = delete;
  DrawingTerminal& operator=(const DrawingTerminal&) = delete;

  std::FILE* file() const { return file_; }  // null when there is none
  // Why nothing can be drawn before the terminal's description is even
  // looked up (no terminal, TERM unset); empty when nothing is known wrong.
  std::string reason() const;

 private:
  std::FILE* tty_ = nullptr;
  std::FILE* file_ = nullptr;
};

// The one way a program reports a failure: "prog: reason" on standard error.
void say(const char* prog, const std::string& reason);
// Ends the process by sig, as its default action would, so the caller sees
// it; returns when that action does not end it (a stop). Signal-safe.
void die_by_signal(int sig);

// Writes all of bytes to fd, going on after interrupts; false on failure.
// Safe in a signal handler.
bool write_all(int fd, const char* bytes, std::size_t len);

// The loaded terminal's strings (after newterm or setupterm), as bytes.
// usable: tigetstr's answer names a string the terminal has.
bool usable(const char* cap);
// A string with its padding applied; empty when the terminal lacks it.
std::string expand(const char* cap);
// The bytes that put the cursor at row, col (0-based).
std::string cursor_to(int row, int col);

// After the terminal's description was looked up: the reason given when it
// could not be, and the reason (or nothing) about placing the cursor.
std::string reason_no_description();
std::string reason_cursor_unplaceable();

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

// "terminal too small: needs R lines and C columns, has r lines and c columns"
std::string too_small(int need_lines, int need_cols, int have_lines, int have_cols);

// Keys as the windows act on them. Cursor and editing keys arrive decoded
// whichever form the terminal sends; any other sequence is one Other key.
enum class KeyKind {
  Byte,  // a byte typed (a character may take several)
  Up, Down, Left, Right, Home, End, PageUp, PageDown, Delete,
  Escape,  // Esc alone
  Resize,  // the terminal changed size, or the program came back from a stop
  Other,   // a key no window uses, taken whole
  Closed,  // input has ended
};
struct Key {
  KeyKind kind = KeyKind::Other;
  unsigned char byte = 0;  // with KeyKind::Byte
};

// Whether tail, the bytes that followed an ESC, is a whole escape sequence.
bool escape_complete(std::string_view tail);
// The key of a whole sequence (ESC [ A, ESC O A, ESC [ 3 ~, ...); Other for
// the rest (function keys, Shift-Tab, Alt-x, mouse reports).
KeyKind escape_key(std::string_view tail);

// Length of the longest prefix of s of at most max_bytes bytes that does not
// end inside a character of the current locale's encoding (call it after
// setlocale). A byte that is no part of a character stands alone.
std::size_t char_prefix(std::string_view s, std::size_t max_bytes);

// After setlocale: why the C library cannot read the locale's character set,
// in which case every byte above ASCII would be refused; empty when it can.
std::string reason_charset_unreadable();

// s as it may be drawn, in the current locale: a byte that does not decode,
// a character that is not printable, and a zero-width character with nothing
// before it to join show as one '?' each. Cut to max_columns columns, never
// inside a character.
std::string shown_text(std::string_view s, int max_columns);

// shown_text of s broken into lines of at most `width` columns, at most
// max_lines of them; what does not fit is cut. A wide character that would
// straddle the end of a line starts the next.
std::vector<std::string> wrap_text(std::string_view s, int width, int max_lines);

}  // namespace winkit
