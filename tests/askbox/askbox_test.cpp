// askbox in a real terminal: the window's cells, the line read, the result
// line and the status, and the terminal's modes afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>

#include <string>
#include <vector>

#include "proc.h"
#include "pty_term.h"

namespace {

using ptyterm::Options;
using ptyterm::Terminal;

constexpr int kLeft = 4;   // the window's left screen column
constexpr int kWidth = 64;

Options askbox(const std::vector<std::string>& args, int rows = 24, int cols = 80) {
  return ptyterm::program_options(testsupport::bin_path("askbox"), args, rows, cols);
}

Options captured(std::vector<std::string> args) {
  Options o = askbox(std::move(args));
  o.stdout_to_pipe = true;
  return o;
}

int top_of(const Terminal& t) { return t.rows() / 2; }

// The line read has begun once the cursor waits at the field's start.
bool wait_reading(Terminal& t) {
  return t.wait_until([&] { return t.cursor_row() == top_of(t) + 2 && t.cursor_col() == kLeft + 4; });
}

// Types a line into a window and returns what the caller captured.
struct Answer {
  std::string out;
  int status;
};
Answer answer(const std::string& keys, Options o) {
  o.stdout_to_pipe = true;
  Terminal t(o);
  EXPECT_TRUE(wait_reading(t)) << t.screen();
  t.send(keys);
  EXPECT_TRUE(t.wait_exit()) << t.screen();
  return {t.captured_stdout(), t.exit_code()};
}
Answer answer(const std::string& keys) { return answer(keys, askbox({"Name?", "NAME"})); }

void expect_normal_modes(const Terminal& t) {
  const termios m = t.modes();
  EXPECT_TRUE(m.c_lflag & ICANON);
  EXPECT_TRUE(m.c_lflag & ECHO);
  EXPECT_TRUE(m.c_lflag & ISIG);
  EXPECT_TRUE(m.c_iflag & ICRNL);
  EXPECT_TRUE(m.c_oflag & ONLCR);
}

// --- the window ----------------------------------------------------------

class AskboxLayout : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(AskboxLayout, CellsAndVideoWhileWaiting) {
  const auto [rows, cols] = GetParam();
  Terminal t(askbox({"Your name, 100%s?", "NAME"}, rows, cols));
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("ab");
  ASSERT_TRUE(t.wait_until([&] { return t.text(rows / 2 + 2, kLeft + 4, 2) == "ab"; })) << t.screen();
  const int top = rows / 2;
  const int right = kLeft + kWidth - 1;

  EXPECT_TRUE(t.alt_screen());
  // Row 0: the title over the whole row, reverse.
  EXPECT_EQ(t.text(top, kLeft, kWidth), "-------------------JUX-INPUT--WINDOW----------------------------") << t.screen();
  for (int c = kLeft; c <= right; ++c) EXPECT_TRUE(t.reverse(top, c)) << "title column " << c;
  EXPECT_FALSE(t.reverse(top, kLeft - 1));
  EXPECT_FALSE(t.reverse(top, right + 1));
  // Row 1: the frame and the prompt as literal text, normal video.
  EXPECT_EQ(t.text(top + 1, kLeft, kWidth), "|   Your name, 100%s?" + std::string(42, ' ') + "|") << t.screen();
  for (int c = kLeft; c <= right; ++c) EXPECT_FALSE(t.reverse(top + 1, c)) << "prompt column " << c;
  // Rows 2 to 4: reverse blanks inside a normal frame; the typed text echoed on row 2.
  EXPECT_EQ(t.text(top + 2, kLeft, kWidth), "|   ab" + std::string(57, ' ') + "|") << t.screen();
  for (int r = top + 2; r <= top + 4; ++r) {
    EXPECT_FALSE(t.reverse(r, kLeft)) << "row " << r;
    for (int c = kLeft + 1; c < right; ++c) EXPECT_TRUE(t.reverse(r, c)) << "row " << r << " column " << c;
    EXPECT_FALSE(t.reverse(r, right)) << "row " << r;
  }
  // Row 5: the inner bar in column 62 is reverse too.
  EXPECT_EQ(t.text(top + 5, kLeft, kWidth), "|" + std::string(61, ' ') + "||") << t.screen();
  for (int c = kLeft + 1; c < right; ++c) EXPECT_TRUE(t.reverse(top + 5, c)) << "row 5 column " << c;
  EXPECT_FALSE(t.reverse(top + 5, right));
  // Row 6: frame only; row 7: the bottom line between curses' corners.
  EXPECT_EQ(t.text(top + 6, kLeft, kWidth), "|" + std::string(62, ' ') + "|") << t.screen();
  EXPECT_EQ(t.text(top + 7, kLeft + 1, kWidth - 2), std::string(62, '-')) << t.screen();
  EXPECT_EQ(t.cell(top + 7, kLeft).text, "\u2514") << t.screen();
  EXPECT_EQ(t.cell(top + 7, right).text, "\u2518") << t.screen();
  for (int r = top + 6; r <= top + 7; ++r) {
    for (int c = kLeft; c <= right; ++c) EXPECT_FALSE(t.reverse(r, c)) << "row " << r << " column " << c;
  }
  // Nothing else on the screen.
  for (int r = 0; r < rows; ++r) {
    if (r < top || r > top + 7) {
      EXPECT_EQ(t.row_text(r), "") << t.screen();
    }
  }

  t.send("\r");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_code(), 0);
  EXPECT_FALSE(t.alt_screen());
}

INSTANTIATE_TEST_SUITE_P(Sizes, AskboxLayout, ::testing::Values(std::make_pair(24, 80), std::make_pair(40, 120)));

TEST(AskboxWindow, Utf8PromptAndTypedTextAreCharacters) {
  Terminal t(askbox({"お名前は?", "NAME"}));
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("日本");
  const int top = top_of(t);
  ASSERT_TRUE(t.wait_text("日本")) << t.screen();
  EXPECT_EQ(t.text(top + 1, kLeft + 4, 9), "お名前は?") << t.screen();
  EXPECT_EQ(t.cell(top + 1, kLeft + 4).width, 2);
  EXPECT_EQ(t.cell(top + 1, kLeft + 12).text, "?");
  EXPECT_EQ(t.text(top + 2, kLeft + 4, 4), "日本");
  EXPECT_EQ(t.cell(top + 2, kLeft + 6).text, "本");
  EXPECT_TRUE(t.reverse(top + 2, kLeft + 6));
  EXPECT_EQ(t.cell(top + 1, kLeft + kWidth - 1).text, "|") << "the frame stands where it should";
}

TEST(AskboxWindow, LongPromptIsCutToItsBytesOnACharacterBoundary) {
  // 77 ASCII bytes, then characters of 3 bytes: the 79-byte limit falls inside one.
  const std::string prompt = std::string(77, 'p') + "日本語END";
  Terminal t(askbox({prompt, "NAME"}));
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  const int top = top_of(t);
  // 60 columns on row 1, the rest wraps onto row 2, where the field covers it
  // from column 1: only column 0 keeps a prompt character.
  EXPECT_EQ(t.text(top + 1, kLeft + 4, 60), std::string(60, 'p')) << t.screen();
  EXPECT_EQ(t.cell(top + 2, kLeft).text, "p") << t.screen();
  EXPECT_EQ(t.screen().find("END"), std::string::npos) << t.screen();
  EXPECT_EQ(t.screen().find("日"), std::string::npos) << t.screen();
  // The lower rows of the frame are untouched.
  EXPECT_EQ(t.text(top + 6, kLeft, kWidth), "|" + std::string(62, ' ') + "|") << t.screen();
  t.send("\r");
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.exit_code(), 0);
}

// --- the line and the result ----------------------------------------------

TEST(AskboxAnswer, TypedTextIsPrintedExactly) {
  EXPECT_EQ(answer("a b = \"c\" 'd' $x %s\\\r").out, "NAME=a b = \"c\" 'd' $x %s\\\n");
  const Answer empty = answer("\r");
  EXPECT_EQ(empty.out, "NAME=\n");
  EXPECT_EQ(empty.status, 0) << "an empty answer is still an answer";
  EXPECT_EQ(answer("x\n").out, "NAME=x\n");
}

TEST(AskboxAnswer, NameIsPrintedWholeAndMayBeEmpty) {
  const std::string name(1000, 'N');
  EXPECT_EQ(answer("v\r", askbox({"Q", name})).out, name + "=v\n");
  EXPECT_EQ(answer("v\r", askbox({"Q", ""})).out, "=v\n");
  EXPECT_EQ(answer("v\r", askbox({"Q", "A=B"})).out, "A=B=v\n");
}

TEST(AskboxAnswer, EraseAndKill) {
  EXPECT_EQ(answer("abc\x7f" "X\r").out, "NAME=abX\n");
  EXPECT_EQ(answer("abc\x15" "de\r").out, "NAME=de\n");
  EXPECT_EQ(answer("\x7f\x7f" "a\r").out, "NAME=a\n");
  // A character of several bytes goes as a whole.
  EXPECT_EQ(answer("ab\xc3\xa9\x7f\xc3\xbc日本\x7f\r").out, "NAME=ab\xc3\xbc日\n");
}

TEST(AskboxAnswer, ArrowKeyBytesGoIntoTheValue) {
  EXPECT_EQ(answer("ab\x1b[Acd\x1bOB\r").out, "NAME=ab\x1b[Acd\x1bOB\n");
}

TEST(AskboxAnswer, LineStopsAt256) {
  EXPECT_EQ(answer(std::string(300, 'a') + "\r").out, "NAME=" + std::string(256, 'a') + "\n");
}

TEST(AskboxAnswer, SingleByteLocale) {
  Options c = askbox({"Q", "NAME"});
  c.locale = "C";
  EXPECT_EQ(answer("abc\x7f" "X\r", c).out, "NAME=abX\n");
  EXPECT_EQ(answer("abc\x15" "de\r", c).out, "NAME=de\n");
  EXPECT_EQ(answer(std::string(300, 'b') + "\r", c).out, "NAME=" + std::string(256, 'b') + "\n");
}

TEST(AskboxAnswer, ResizeDoesNotEndTheLine) {
  for (const char* locale : {"C.UTF-8", "C"}) {
    Options o = captured({"Q", "NAME"});
    o.locale = locale;
    Terminal t(o);
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    t.send("ab");
    ASSERT_TRUE(t.wait_text("ab")) << t.screen();
    t.signal(SIGWINCH);  // curses takes it as a resize even at the same size
    t.wait_quiet();
    t.send("cd\r");
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), "NAME=abcd\n") << locale;
    EXPECT_EQ(t.exit_code(), 0) << locale;
  }
}

TEST(AskboxAnswer, KeysFromAPipe) {
  Options o = captured({"Q", "ANSWER"});
  o.stdin_data = "yes, me\nmore\n";
  Terminal t(o);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "ANSWER=yes, me\n");
  EXPECT_EQ(t.exit_code(), 0);
}

TEST(AskboxAnswer, CapturedOutputHoldsOnlyTheResult) {
  Terminal t(captured({"Q", "NAME"}));
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  // The window is on the terminal, not in the capture.
  EXPECT_TRUE(t.wait_text("JUX-INPUT--WINDOW")) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "");
  t.send("ok\r");
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.captured_stdout(), "NAME=ok\n");
  EXPECT_EQ(t.exit_code(), 0);
  EXPECT_FALSE(t.alt_screen());
  expect_normal_modes(t);
}

TEST(AskboxAnswer, ResultLineIsTheLastThingOnTheTerminal) {
  Terminal t(askbox({"Q", "NAME"}));
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("ok\r");
  ASSERT_TRUE(t.wait_exit());
  const std::string& out = t.tty_output();
  const std::string line = "NAME=ok\r\n";
  ASSERT_GE(out.size(), line.size());
  EXPECT_EQ(out.substr(out.size() - line.size()), line);
  EXPECT_FALSE(t.alt_screen());
}

// --- no line to read ------------------------------------------------------

TEST(AskboxFailure, EndOfInputGivesAnEmptyValueAndStatus1) {
  for (const std::string input : {"", "partial"}) {
    Options o = captured({"Q", "NAME"});
    o.stdin_data = input;
    Terminal t(o);
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), "NAME=\n") << "input: " << input;
    EXPECT_EQ(t.exit_code(), 1) << "input: " << input;
    EXPECT_FALSE(t.alt_screen());
    expect_normal_modes(t);
  }
}

TEST(AskboxFailure, TerminalTooSmallForTheWindow) {
  for (const auto& [rows, cols] : {std::make_pair(14, 80), std::make_pair(24, 67)}) {
    Options o = captured({"Q", "NAME"});
    o.rows = rows;
    o.cols = cols;
    Terminal t(o);
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), "NAME=\n") << rows << "x" << cols;
    EXPECT_EQ(t.exit_code(), 1) << rows << "x" << cols;
    EXPECT_EQ(t.screen().find("JUX"), std::string::npos) << t.screen();
    expect_normal_modes(t);
  }
  // The smallest terminal that holds it.
  Options fits = askbox({"Q", "NAME"}, 15, 68);
  EXPECT_EQ(answer("y\r", fits).out, "NAME=y\n");
}

TEST(AskboxFailure, NoTerminalAtAll) {
  testsupport::ProcOptions o;
  o.stdin_data = "typed\n";
  const auto r = testsupport::run_process({testsupport::bin_path("askbox"), "Q", "NAME"}, o);
  EXPECT_EQ(r.out, "NAME=\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.exit_code, 1);
}

TEST(AskboxFailure, UnknownTerminalType) {
  Options o = captured({"Q", "NAME"});
  o.term = "no-such-terminal";
  Terminal t(o);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "NAME=\n");
  EXPECT_EQ(t.exit_code(), 1);
  EXPECT_EQ(t.tty_bytes(), 0u);
}

TEST(AskboxFailure, ResultThatCannotBeWrittenIsAFailure) {
  Options o = askbox({"Q", "NAME"});
  o.argv = {"/bin/sh", "-c", "exec \"$0\" Q NAME >/dev/full", testsupport::bin_path("askbox")};
  Terminal t(o);
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("x\r");
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.exit_code(), 1);
}

// --- command line ----------------------------------------------------------

TEST(AskboxArguments, WrongCountExitsAtOnceWritingNothing) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"Q"}, {"Q", "NAME", "extra"}, {"a", "b", "c", "d"}}) {
    Terminal t(askbox(args));
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.exit_code(), 0) << args.size() << " arguments";
    EXPECT_EQ(t.tty_bytes(), 0u) << args.size() << " arguments";

    std::vector<std::string> argv = {testsupport::bin_path("askbox")};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = testsupport::run_process(argv);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
  }
}

// --- interrupts ------------------------------------------------------------

TEST(AskboxInterrupt, SignalWhileWaitingLeavesTheTerminalNormal) {
  for (int sig : {SIGINT, SIGTERM}) {
    Terminal t(captured({"Q", "NAME"}));
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    t.send("half");
    ASSERT_TRUE(t.wait_text("half")) << t.screen();
    t.signal(sig);
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.term_signal(), sig) << "the caller sees the interrupt";
    EXPECT_EQ(t.captured_stdout(), "");
    EXPECT_FALSE(t.alt_screen()) << sig;
    expect_normal_modes(t);
  }
}

TEST(AskboxInterrupt, IgnoredInterruptStaysIgnored) {
  Options o = captured({"Q", "NAME"});
  o.argv = {"/bin/sh", "-c", "trap '' INT; exec \"$0\" Q NAME", testsupport::bin_path("askbox")};
  Terminal t(o);
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.signal(SIGINT);
  t.send("ok\r");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "NAME=ok\n");
  EXPECT_EQ(t.exit_code(), 0);
}

}  // namespace
