// What the window programs share under test in a pseudo-terminal: the test
// locales, and starts that must end before anything is drawn.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "proc.h"
#include "pty_term.h"

namespace testsupport {

// o in one of the test locales (LOCPATH), for the legacy character sets.
inline ptyterm::Options in_locale(ptyterm::Options o, const char* locale) {
  o.locale = locale;
  o.env["LOCPATH"] = locale_dir();
  return o;
}

// A start that cannot draw: the program ends with status, having written
// tty_output and nothing else to the terminal (no escape sequence: curses
// never started), `captured` on a captured standard output, and leaves the
// terminal's modes as they were.
struct NoDrawing {
  ptyterm::Options options;
  int status;
  std::string tty_output;
  std::string captured = "";
};

inline void expect_no_drawing(const NoDrawing& c) {
  ptyterm::Terminal t(c.options);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_code(), c.status);
  EXPECT_EQ(t.tty_output(), c.tty_output);
  if (c.options.stdout_to_pipe) {
    EXPECT_EQ(t.captured_stdout(), c.captured);
  }
  EXPECT_FALSE(t.alt_screen());
  EXPECT_EQ(ptyterm::mode_faults(t.modes()), "");
}

}  // namespace testsupport
