#include "pty_term.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using ptyterm::Options;
using ptyterm::Terminal;

Options cmd(std::vector<std::string> argv) {
  Options o;
  o.argv = std::move(argv);
  return o;
}

Options sh(const std::string& script) { return cmd({"/bin/sh", "-c", script}); }

// --- decoding -------------------------------------------------------------

TEST(PtyTermScreen, PlacesTextAndTracksCursor) {
  Terminal t(cmd({"/usr/bin/printf", "ab\\033[3;5HXY"}));
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.row_text(0), "ab") << t.screen();
  EXPECT_EQ(t.row_text(1), "") << t.screen();
  EXPECT_EQ(t.text(2, 4, 2), "XY") << t.screen();
  EXPECT_EQ(t.text(2, 0, 4), "    ") << t.screen();
  EXPECT_EQ(t.cell(2, 3).text, " ");
  EXPECT_EQ(t.cursor_row(), 2);
  EXPECT_EQ(t.cursor_col(), 6);
  EXPECT_EQ(t.rows(), 24);
  EXPECT_EQ(t.cols(), 80);
}

TEST(PtyTermScreen, ReverseOnExactlyTheReversedCells) {
  Terminal t(cmd({"/usr/bin/printf", "\\033[7mAB\\033[0mC"}));
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.row_text(0), "ABC");
  EXPECT_TRUE(t.reverse(0, 0)) << t.screen();
  EXPECT_TRUE(t.cell(0, 1).reverse) << t.screen();
  EXPECT_FALSE(t.reverse(0, 2)) << t.screen();
  EXPECT_FALSE(t.reverse(0, 3)) << t.screen();
  EXPECT_FALSE(t.reverse(1, 0)) << t.screen();
  // The failure output marks them.
  EXPECT_NE(t.screen().find("  0|ABC\n   |##\n"), std::string::npos) << t.screen();
}

TEST(PtyTermScreen, WideCharacterTakesTwoCells) {
  Terminal t(cmd({"/usr/bin/printf", "\xe4\xb8\xad" "x"}));  // U+4E2D then x
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.cell(0, 0).text, "\xe4\xb8\xad") << t.screen();
  EXPECT_EQ(t.cell(0, 0).width, 2);
  EXPECT_EQ(t.cell(0, 1).text, "");
  EXPECT_EQ(t.cell(0, 2).text, "x");
  EXPECT_EQ(t.cell(0, 2).width, 1);
  EXPECT_EQ(t.text(0, 0, 3), "\xe4\xb8\xad" "x");
  EXPECT_EQ(t.text(0, 1, 2), "x");
  EXPECT_EQ(t.row_text(0), "\xe4\xb8\xad" "x");
  EXPECT_EQ(t.cursor_col(), 3);
}

TEST(PtyTermScreen, AlternateScreenComesAndGoes) {
  Terminal t(sh("printf normal; printf '\\033[?1049h'; printf ALT; read x; printf '\\033[?1049l'"));
  ASSERT_TRUE(t.wait_text("ALT")) << t.screen();
  EXPECT_TRUE(t.alt_screen()) << t.screen();
  EXPECT_EQ(t.row_text(0), "      ALT") << t.screen();  // the cursor stays where it was
  t.send("\r");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_FALSE(t.alt_screen()) << t.screen();
  EXPECT_EQ(t.row_text(0), "normal") << t.screen();
  EXPECT_EQ(t.cursor_row(), 0);
  EXPECT_EQ(t.cursor_col(), 6);
}

TEST(PtyTermScreen, AnswersTerminalQueries) {
  // A cursor position report must reach the program, as from a real terminal.
  Terminal t(sh("stty raw -echo; printf '\\033[3;5H\\033[6n'; head -c 6 | od -An -c | tr -s ' '"));
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_code(), 0);
  EXPECT_NE(t.tty_output().find("033 [ 3 ; 5 R"), std::string::npos) << t.screen();
}

// --- the program's surroundings -------------------------------------------

TEST(PtyTermProcess, ChildSeesWindowSize) {
  Options o = cmd({"/usr/bin/stty", "size"});
  o.rows = 7;
  o.cols = 33;
  Terminal t(o);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.row_text(0), "7 33") << t.screen();
  EXPECT_EQ(t.rows(), 7);
  EXPECT_EQ(t.cols(), 33);
}

TEST(PtyTermProcess, EnvironmentAndLocale) {
  setenv("COLUMNS", "999", 1);
  setenv("PTYTERM_GONE", "x", 1);
  Options o = sh("printf '%s|%s|%s|%s|%s|%s' \"$TERM\" \"$LC_ALL\" \"$LANG\" \"$FOO\" "
                 "\"${PTYTERM_GONE-unset}\" \"${COLUMNS-unset}\"");
  o.locale = "C";
  o.env["FOO"] = "bar";
  o.env["PTYTERM_GONE"] = std::nullopt;
  Terminal t(o);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  unsetenv("COLUMNS");
  unsetenv("PTYTERM_GONE");
  EXPECT_EQ(t.row_text(0), "xterm-256color|C|C|bar|unset|unset") << t.screen();
}

TEST(PtyTermProcess, InheritedDescriptorsAreClosed) {
  int fd = open("/dev/null", O_RDONLY);  // no O_CLOEXEC on purpose
  ASSERT_GE(fd, 3);
  std::string n = std::to_string(fd);
  Terminal t(sh("if [ -e /proc/$$/fd/" + n + " ]; then echo leaked; else echo closed; fi"));
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  close(fd);
  EXPECT_EQ(t.row_text(0), "closed") << t.screen();
}

TEST(PtyTermProcess, StdoutToPipeKeepsTheTerminal) {
  Options o = sh("echo out; echo tty >/dev/tty; echo err >&2; [ -t 0 ] && echo stdin-is-tty >&2");
  o.stdout_to_pipe = true;
  Terminal t(o);
  usleep(200000);  // likely exited before anything was read
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_code(), 0);
  EXPECT_EQ(t.captured_stdout(), "out\n");
  EXPECT_EQ(t.row_text(0), "tty") << t.screen();
  EXPECT_EQ(t.row_text(1), "err") << t.screen();
  EXPECT_EQ(t.row_text(2), "stdin-is-tty") << t.screen();
  EXPECT_EQ(t.row_text(3), "") << t.screen();
}

TEST(PtyTermProcess, LargeStdinAndStdoutDoNotDeadlock) {
  // Both well beyond a pipe's buffer, so feeding and reading must interleave.
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "line " + std::to_string(i) + "\n";
  Options o = cmd({"/bin/cat"});
  o.stdin_data = big;
  o.stdout_to_pipe = true;
  Terminal t(o);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_code(), 0);
  EXPECT_EQ(t.captured_stdout().size(), big.size());
  EXPECT_TRUE(t.captured_stdout() == big);
  EXPECT_EQ(t.tty_bytes(), 0u);
}

// A program that could not start exits 127, as from a shell.
TEST(PtyTermProcess, ExitStatus) {
  for (const auto& [o, status] : {std::pair{sh("exit 3"), 3}, std::pair{cmd({"/nonexistent/program"}), 127}}) {
    Terminal t(o);
    ASSERT_TRUE(t.wait_exit());
    EXPECT_TRUE(t.exited());
    EXPECT_EQ(t.exit_code(), status);
    EXPECT_EQ(t.term_signal(), 0);
  }
}

TEST(PtyTermProcess, KillingSignal) {
  Terminal t(cmd({"/bin/sleep", "30"}));
  EXPECT_FALSE(t.exited());
  EXPECT_EQ(t.exit_code(), -1);
  t.signal(SIGTERM);
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.exit_code(), -1);
  EXPECT_EQ(t.term_signal(), SIGTERM);
}

TEST(PtyTermProcess, DestructorKillsAndReapsARunningProgram) {
  pid_t pid;
  {
    Terminal t(cmd({"/bin/sleep", "30"}));
    pid = t.pid();
    ASSERT_GT(pid, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(t.wait_exit(100));  // times out, leaves it running
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(t.exited());
  }
  EXPECT_EQ(kill(pid, 0), -1);  // gone, not a zombie
}

TEST(PtyTermProcess, DestructorTakesTheProgramsChildrenToo) {
  pid_t child = 0;
  {
    Terminal t(sh("trap '' HUP; /bin/sleep 30 & echo $!; wait"));  // deaf to the hangup
    ASSERT_TRUE(t.wait_until([&] { return !t.row_text(0).empty(); })) << t.screen();
    child = std::atoi(t.row_text(0).c_str());
    ASSERT_GT(child, 0) << t.screen();
  }
  // Not ours to reap, so a zombie counts as gone.
  auto alive = [&] {
    std::ifstream stat("/proc/" + std::to_string(child) + "/stat");
    std::string pid, comm, state;
    return stat >> pid >> comm >> state && state != "Z";
  };
  for (int i = 0; i < 1000 && alive(); ++i) usleep(10000);
  EXPECT_FALSE(alive());
}

// --- input and timing -----------------------------------------------------

TEST(PtyTermInput, KeysReachTheProgramAndEcho) {
  Terminal t(cmd({"/bin/cat"}));
  t.send("abc\r");
  // cat may copy the line long after the terminal's echo on a busy machine.
  ASSERT_TRUE(t.wait_until([&] { return t.row_text(1) == "abc"; })) << t.screen();  // cat's copy
  EXPECT_EQ(t.row_text(0), "abc") << t.screen();  // the terminal's echo
  EXPECT_FALSE(t.exited());
  t.send("\x04");  // end of file
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_code(), 0);
}

TEST(PtyTermInput, EscapeSequencesArriveIntact) {
  Terminal t(sh("stty raw -echo; printf ready; head -c 4 | od -An -tx1"));
  ASSERT_TRUE(t.wait_text("ready")) << t.screen();
  t.send("\033[Ax");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_NE(t.tty_output().find("1b 5b 41 78"), std::string::npos) << t.screen();
}

TEST(PtyTermInput, WaitQuietGivesUpOnEndlessOutput) {
  // Gaps of 10 ms against a quiet window of a second: even a loaded machine
  // that starts `sleep` slowly keeps the output coming.
  Terminal t(sh("while :; do printf x; sleep 0.01; done"));
  ASSERT_TRUE(t.wait_text("x")) << t.screen();  // started: the output flows from now on
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(t.wait_quiet(1000, 2000));
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(2000));
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_GT(t.tty_bytes(), 0u);
}

TEST(PtyTermInput, WaitQuietReturnsEarlyWhenTheProgramExits) {
  Terminal t(cmd({"/usr/bin/printf", "done"}));
  auto start = std::chrono::steady_clock::now();
  // A quiet window far beyond any start-up delay: only the exit ends the wait early.
  EXPECT_TRUE(t.wait_quiet(20000, 30000));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(t.row_text(0), "done");
}

// --- modes and byte counts ------------------------------------------------

TEST(PtyTermModes, ReflectWhatTheProgramLeft) {
  Terminal cooked(cmd({"/bin/true"}));
  ASSERT_TRUE(cooked.wait_exit());
  EXPECT_TRUE(cooked.modes().c_lflag & ICANON);
  EXPECT_TRUE(cooked.modes().c_lflag & ECHO);

  Terminal raw(sh("stty raw -echo"));
  ASSERT_TRUE(raw.wait_exit()) << raw.screen();
  EXPECT_EQ(raw.exit_code(), 0);
  EXPECT_FALSE(raw.modes().c_lflag & ICANON);
  EXPECT_FALSE(raw.modes().c_lflag & ECHO);
}

TEST(PtyTermModes, SeenWhileRunning) {
  Terminal t(sh("stty -echo; printf ready; read x"));
  ASSERT_TRUE(t.wait_text("ready")) << t.screen();
  EXPECT_TRUE(t.modes().c_lflag & ICANON);
  EXPECT_FALSE(t.modes().c_lflag & ECHO);
}

TEST(PtyTermBytes, CountsExactly) {
  Terminal t(cmd({"/usr/bin/printf", "abc\\n"}));
  usleep(200000);  // likely exited before anything was read: the output must still come
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.tty_output(), "abc\r\n");  // the terminal's own newline translation
  EXPECT_EQ(t.tty_bytes(), 5u);

  Terminal silent(cmd({"/bin/true"}));
  ASSERT_TRUE(silent.wait_exit());
  EXPECT_EQ(silent.tty_bytes(), 0u);
}

TEST(PtyTermBytes, NothingLostAtExit) {
  // Far more than the terminal buffers: all of it must be read after the exit.
  Terminal t(sh("head -c 200000 /dev/zero | tr '\\0' a"));
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.tty_bytes(), 200000u);
  EXPECT_EQ(t.row_text(23), std::string(80, 'a')) << t.screen();
  EXPECT_EQ(t.cursor_col(), 79);
}

}  // namespace
