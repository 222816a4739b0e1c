// A real terminal under test: runs a program in a pseudo-terminal and decodes
// everything it writes there with libvterm, so tests read back exact cells.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ptyterm {

struct Options {
  std::vector<std::string> argv;  // argv[0] is the program's path
  int rows = 24;
  int cols = 80;
  std::string term = "xterm-256color";
  std::string locale = "C.UTF-8";  // set as LC_ALL (and LANG)
  // Extra variables ("" is a value); names mapped to std::nullopt are removed.
  std::map<std::string, std::optional<std::string>> env;
  // Standard output goes to a pipe the harness captures; the pseudo-terminal
  // stays the controlling terminal, standard input and standard error.
  bool stdout_to_pipe = false;
  // Standard input comes from a pipe fed with this text and then closed.
  std::optional<std::string> stdin_data;
  // Standard input is this descriptor (a file the test opened and keeps).
  int stdin_fd = -1;
  // false: the pseudo-terminal is no controlling terminal (as after setsid),
  // so /dev/tty cannot be opened; it still takes the standard streams.
  bool controlling_terminal = true;
};

// Options to run `program` with `args` in a terminal of the given size.
Options program_options(const std::string& program, const std::vector<std::string>& args, int rows = 24,
                        int cols = 80);

struct Cell {
  std::string text;  // the cell's character(s) as UTF-8; " " when empty; "" for the right half of a wide char
  int width = 1;     // 1, or 2 for a wide character
  bool reverse = false;
};

class Terminal {
 public:
  explicit Terminal(const Options& options);  // starts the program at once
  ~Terminal();                                // kills it if still running
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Writes bytes to the program's terminal, as typed keys (escape sequences included).
  void send(std::string_view bytes);

  // Decodes output until none has come for quiet_ms, or the program has exited.
  // Returns false when timeout_ms passed without the output going quiet.
  bool wait_quiet(int quiet_ms = 150, int timeout_ms = 5000);
  // Decodes output until the program exits; false on timeout (the program is left running).
  bool wait_exit(int timeout_ms = 5000);
  // Decodes output until done() holds (checked after every read), or the program
  // exits; returns done() at the end, so false on timeout.
  bool wait_until(const std::function<bool()>& done, int timeout_ms = 5000);
  // wait_until some row contains text.
  bool wait_text(std::string_view text, int timeout_ms = 5000);

  // A new size, as when the user resizes the window: the program gets SIGWINCH.
  void resize(int rows, int cols);
  void signal(int sig);  // kill(2) on the program
  // Closes the terminal, as when its window is closed: the kernel hangs it up.
  void hang_up();
  bool exited() const;
  int exit_code() const;    // WEXITSTATUS, or -1 if not exited or killed
  int term_signal() const;  // the killing signal, else 0
  pid_t pid() const;

  const std::string& captured_stdout() const;  // with stdout_to_pipe
  // Bytes the program wrote to the terminal, as the terminal received them (the
  // line discipline's output processing and echo of sent keys included).
  size_t tty_bytes() const;
  const std::string& tty_output() const;       // those bytes, raw

  int rows() const;
  int cols() const;
  Cell cell(int row, int col) const;
  bool reverse(int row, int col) const;
  // The text of columns [col, col+len) of a row as UTF-8; an empty cell reads as a blank,
  // and the right half of a wide character adds nothing.
  std::string text(int row, int col, int len) const;
  std::string row_text(int row) const;  // the whole row, trailing blanks removed
  std::string screen() const;           // every row, numbered, reverse cells marked: for failure output
  // A rectangle of the screen as lines of text, one a row, and the same
  // rectangle as lines of '#' (reverse video) and '.' (normal): pictures a
  // test compares whole.
  std::string picture(int row, int col, int rows, int cols) const;
  std::string video(int row, int col, int rows, int cols) const;
  int cursor_row() const;
  int cursor_col() const;
  bool alt_screen() const;  // whether the alternate screen is showing

  // The pseudo-terminal's modes as they are now (also after the program exited).
  termios modes() const;
  // Sets them, as another process on the terminal (a shell) would.
  void set_modes(const termios& t);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// o with its program run from a shell script instead, where "$0" names it.
Options in_shell(Options o, const std::string& script, const std::string& shell = "/bin/sh");

// Terminals no window can be drawn on, with the reason every program gives
// (after "PROGRAM: "); std::nullopt stands for TERM unset.
struct UnusableTerminal {
  std::optional<std::string> term;
  std::string why;
};
const std::vector<UnusableTerminal>& unusable_terminals();
// Sets TERM in o, or removes it for std::nullopt.
void set_term(Options& o, const std::optional<std::string>& term);

// What differs from the modes a shell works in (canonical input, echo,
// signals from keys, CR read as NL, NL written as CR NL, Ctrl-S and Ctrl-Q
// as flow control); empty when none.
std::string mode_faults(const termios& m);

// Starts o `runs` times, sending SIGINT or SIGTERM at a random moment of its
// start, every other pair on a terminal with no alternate screen. What went
// wrong, a line a run; empty when each ended by its signal, leaving normal
// modes, a blank normal screen and nothing on a captured stdout.
std::string faults_under_random_signals(Options o, int runs, unsigned seed);

// The rows that show anything, as "ROW: text" lines; empty on a blank screen.
std::string shown_rows(const Terminal& t);

// s and blanks up to width bytes.
std::string padded(const std::string& s, std::size_t width);

}  // namespace ptyterm
