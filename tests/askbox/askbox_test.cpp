// askbox in a real terminal: the window's cells, the line read, the result
// line and the status, and the terminal's modes afterwards.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "nobody.h"
#include "places.h"
#include "proc.h"
#include "pty_term.h"
#include "windows.h"

namespace {

using ptyterm::Options;
using ptyterm::Terminal;
using testsupport::NoDrawing;

constexpr int kLeft = testsupport::askbox_place(24).left;
constexpr int kWidth = testsupport::askbox_place(24).cols;

Options askbox(const std::vector<std::string>& args, int rows = 24, int cols = 80) {
  return ptyterm::program_options(testsupport::bin_path("askbox"), args, rows, cols);
}

Options captured(std::vector<std::string> args) {
  Options o = askbox(std::move(args));
  o.stdout_to_pipe = true;
  return o;
}

int top_of(const Terminal& t) { return testsupport::askbox_place(t.rows()).top; }

// The line read has begun once the cursor waits in the field (at its start
// unless the line starts with a text).
bool wait_reading(Terminal& t) {
  return t.wait_until([&] { return t.cursor_row() == top_of(t) + 2 && t.cursor_col() >= kLeft + 4; });
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

// Runs o with its keys coming from a pipe instead of the terminal: with no
// controlling terminal, as under setsid. Standard output must then be the
// terminal, so what the caller gets is read off the screen, without the
// program's own messages.
Answer piped(const std::string& input, Options o) {
  o.stdin_data = input;
  o.controlling_terminal = false;
  Terminal t(o);
  EXPECT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_FALSE(t.alt_screen());
  EXPECT_EQ(ptyterm::mode_faults(t.modes()), "");
  std::string out;
  for (int row = 0; row < t.rows(); ++row) {
    const std::string text = t.row_text(row);
    if (!text.empty() && text.rfind("askbox: ", 0) != 0) out += text + "\n";
  }
  return {out, t.exit_code()};
}

// Types text into the window, then Ctrl-Z; waits until the shell says `stopped`.
void type_and_suspend(Terminal& t, const std::string& text, const std::string& stopped) {
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send(text);
  ASSERT_TRUE(t.wait_text(text)) << t.screen();
  t.send("\x1a");
  ASSERT_TRUE(t.wait_text(stopped)) << t.screen();
  t.wait_quiet();
}

void expect_normal_modes(const Terminal& t) { EXPECT_EQ(ptyterm::mode_faults(t.modes()), ""); }

// --- the window ----------------------------------------------------------

// The window at sizes its place rules tell apart (usual place, moved up,
// moved left, narrowed), also placed anew by a shrink with a line typed:
// whole screens and videos from the tests' own model; the line, its cursor
// and the answer kept.
TEST(AskboxWindow, WholeScreenAtEachSizeAndThroughAShrink) {
  const std::string typed = "The quick brown fox jumps over a lazy dog";  // scrolls in a field of 35
  const struct {
    int rows, cols, to_rows, to_cols;
    bool secret;
  } sizes[] = {{24, 80, 24, 80, false}, {40, 120, 40, 120, false}, {16, 40, 16, 40, false}, {20, 60, 20, 60, true},
               {14, 80, 14, 80, false}, {8, 40, 8, 40, false},     {24, 80, 16, 40, false}, {24, 80, 9, 66, true}};
  for (const auto& size : sizes) {
    std::vector<std::string> args = {"Your name, 100%s?", "NAME"};
    if (size.secret) args.insert(args.begin(), "-s");
    Options o = captured(args);
    std::tie(o.rows, o.cols) = std::pair{size.rows, size.cols};
    Terminal t(o);
    ASSERT_TRUE(t.wait_text("100%s?")) << t.screen();
    t.send(typed);
    for (const auto& [rows, cols] : {std::pair{size.rows, size.cols}, std::pair{size.to_rows, size.to_cols}}) {
      if (rows != t.rows() || cols != t.cols()) t.resize(rows, cols);
      const testsupport::Place at = testsupport::askbox_place(rows, cols);
      const std::size_t room = static_cast<std::size_t>(at.cols - 6);  // the field less the cursor's column
      const std::string field = typed.substr(typed.size() > room ? typed.size() - room : 0);
      const std::string shown = size.secret ? std::string(field.size(), '*') : field;
      const std::string want =
          testsupport::on_screen(rows, cols, at, testsupport::askbox_picture(at.cols, "Your name, 100%s?", shown));
      const int cursor = at.left + 4 + static_cast<int>(shown.size());
      EXPECT_TRUE(t.wait_until([&] {
        return t.picture(0, 0, rows, cols) == want && t.cursor_row() == at.top + 2 && t.cursor_col() == cursor;
      })) << rows << "x" << cols << " want:\n" << want << t.screen();
      EXPECT_EQ(t.video(0, 0, rows, cols),
                testsupport::on_screen(rows, cols, at, testsupport::askbox_video(at.cols), '.'));
      EXPECT_TRUE(t.alt_screen());
    }
    t.send("!\r");
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), "NAME=" + typed + "!\n");
    EXPECT_EQ(t.exit_code(), 0);
    EXPECT_FALSE(t.alt_screen());
  }
}

// The prompt's row, up to the frame, and a wide typed text in the field;
// with standard output the terminal, the result line is the last thing on it.
TEST(AskboxWindow, PromptAndTypedTextByCharactersUpToTheFrame) {
  const std::pair<std::string, std::string> rows[] = {
      {"お名前は?", "お名前は?" + std::string(50, ' ')},
      // 77 ASCII bytes, then characters of 3 bytes: the 79-byte limit falls inside one.
      {std::string(77, 'p') + "日本語END", std::string(59, 'p')},
      // A wide character that would straddle the frame is left out.
      {std::string(58, 'x') + "日", std::string(58, 'x') + " "},
      // Controls show as one mark each.
      {"日本語の\n\t\x1b[2J", "日本語の???[2J" + std::string(45, ' ')},
  };
  for (const auto& [prompt, shown] : rows) {
    Terminal t(askbox({prompt, "NAME"}));
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    t.send("日本");
    const int top = top_of(t);
    ASSERT_TRUE(t.wait_until([&] { return t.text(top + 2, kLeft, 8) == "|   日本"; })) << t.screen();
    EXPECT_EQ(t.text(top + 1, kLeft, kWidth), "|   " + shown + "|") << t.screen();
    EXPECT_EQ(t.screen().find("END"), std::string::npos) << t.screen();
    EXPECT_EQ(t.cell(top + 2, kLeft + 6).text, "本");
    EXPECT_TRUE(t.reverse(top + 2, kLeft + 6));
    t.send("\r");
    ASSERT_TRUE(t.wait_exit());
    EXPECT_EQ(t.exit_code(), 0);
    const std::string &out = t.tty_output(), line = "NAME=日本\r\n";
    EXPECT_EQ(out.substr(out.size() - std::min(out.size(), line.size())), line);
    EXPECT_FALSE(t.alt_screen());
  }
}

// --- the line and the result ----------------------------------------------

// Keys typed into a window and the line its caller gets, status 0 each.
TEST(AskboxAnswer, KeysAndTheLineTheCallerGets) {
  const Options name = askbox({"Q", "NAME"});
  Options single_byte = name;
  single_byte.locale = "C";
  std::vector<std::pair<std::string, Options>> terms;
  for (const char* term : {"vt220", "rxvt-unicode", "xterm-mono"}) {
    terms.push_back({term, name});
    terms.back().second.term = term;
  }
  const std::string many_names(1000, 'N');
  struct Row {
    std::string keys;
    std::string out;
    Options options;
  } rows[] = {
      // Printed exactly, however it reads to a shell; empty is an answer too.
      {"a b = \"c\" 'd' $x %s\\\r", "NAME=a b = \"c\" 'd' $x %s\\\n", name},
      {"\r", "NAME=\n", name},
      {"x\n", "NAME=x\n", name},
      // The name whole, empty, or holding '='.
      {"v\r", many_names + "=v\n", askbox({"Q", many_names})},
      {"v\r", "=v\n", askbox({"Q", ""})},
      {"v\r", "A=B=v\n", askbox({"Q", "A=B"})},
      {"v\r", "N=v\n", askbox({"-s", "N"})},  // two arguments are data: the prompt "-s"
      // A starting text as typed (control bytes and escape sequences dropped, not obeyed), then edited.
      {"\x7fZ\r", "NAME=abcZ\n", askbox({"-i", "a\x01" "b\x1b[Ac\r\x7f日\xe6\x97", "Q", "NAME"})},
      // Erase and kill; a character of several bytes goes as a whole.
      {"abc\x7f" "X\r", "NAME=abX\n", name},
      {"abc\x15" "de\r", "NAME=de\n", name},
      {"ab\xc3\xa9\x7f\xc3\xbc日本\x7f\r", "NAME=ab\xc3\xbc日\n", name},
      // Editing keys in every form the terminal sends.
      {"abc\x1b[DX\r", "NAME=abXc\n", name},
      {"abc\x1bODX\x1bOCY\r", "NAME=abXcY\n", name},
      {"bc\x1b[Ha\x1b[Fd\r", "NAME=abcd\n", name},
      {"bc\x1bOHa\x1bOFd\x1b[1~<\x1b[4~>\r", "NAME=<abcd>\n", name},
      {"abc\x1b[D\x1b[D\x1b[3~\r", "NAME=ac\n", name},
      {"bc\x01" "a\x05" "d\r", "NAME=abcd\n", name},                // Ctrl-A, Ctrl-E
      {"abcd\x1b[D\x1b[D\x0b\r", "NAME=ab\n", name},              // Ctrl-K
      {"one two  \x17three\r", "NAME=one three\n", name},          // Ctrl-W
      {"abc\x1b[D\x04\r", "NAME=ab\n", name},                      // Ctrl-D inside a line
      {"ab\x08\r", "NAME=a\n", name},                               // ^H
      // F1, F5, PgUp, PgDn, Insert, Up, Down, Shift-Tab, Alt-x, Ctrl-Left,
      // mouse reports: keys a line has no use for, dropped whole.
      {"a\x1bOPb\x1b[15~c\x1b[5~\x1b[6~\x1b[2~\x1b[A\x1bOB\x1b[Z\x1bx\x1b[1;5Dd\x1b[M !!\x1b[<0;5;5Me\r", "NAME=abcde\n",
       name},
      // A sequence longer than any key's is dropped to its end, not typed.
      {"a\x1b[" + std::string(40, '1') + "mb\x1b\x1b[" + std::string(40, '2') + "~c\r", "NAME=abc\n", name},
      // Other control bytes never enter the answer.
      {std::string("a\0b\x02\x06\x07\x0e\x10\x18\x1d" "c\x1f\x7f\x7f", 15) + "d\r", "NAME=ad\n", name},
      // Alt with a cursor or editing key comes as ESC before the key's own
      // sequence (xterm's metaSendsEscape, rxvt): a key, never Esc alone.
      {"ab\x1b\x1bOAc\x1b\x1b[5~d\x1b\x1b[1;5Ce\x1b\x1b[3~f\x1b\x1b[Ag\x1b\x1b[7~h\r", "NAME=abcdefgh\n", name},
      // Invalid bytes are dropped, cut characters too (the last before Enter).
      {"ab\xff" "cd\r", "NAME=abcd\n", name},
      {"a\x80\xc0\xfe" "b\r", "NAME=ab\n", name},
      {"a\xe6\x97" "b\xe6\r", "NAME=ab\n", name},
      {"x\xff\x7f" "y\r", "NAME=y\n", name},
      // The line stops at 256 characters.
      {std::string(300, 'a') + "\r", "NAME=" + std::string(256, 'a') + "\n", name},
      // A single-byte locale.
      {"abc\x7f" "X\r", "NAME=abX\n", single_byte},
      {"abc\x15" "de\r", "NAME=de\n", single_byte},
      {std::string(300, 'b') + "\r", "NAME=" + std::string(256, 'b') + "\n", single_byte},
  };
  for (const Row& r : rows) {
    const Answer a = answer(r.keys, r.options);
    EXPECT_EQ(a.out, r.out) << testing::PrintToString(r.keys);
    EXPECT_EQ(a.status, 0) << testing::PrintToString(r.keys);
  }
  // Find and Select are Home and End.
  for (const auto& [term, o] : terms) EXPECT_EQ(answer("abc\x1b[1~X\x1b[4~Y\r", o).out, "NAME=XabcY\n") << term;
}

// Ctrl-S is a key the line drops, not a stop of the terminal's output.
TEST(AskboxAnswer, CtrlSNeverFreezesTheWindow) {
  Terminal t(captured({"Q", "NAME"}));
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("a\x13" "b");
  EXPECT_TRUE(t.wait_text("ab", 3000)) << t.screen();
}

// Ways a window ends without a line: Esc cancels, Ctrl-C and signals end it
// by the signal, Ctrl-D on an empty line ends the input. The terminal is
// left normal each time.
TEST(AskboxAnswer, EndsWithoutALine) {
  const struct {
    std::string keys;
    int sent;  // a signal sent after the keys are shown, or 0
    int status, by_signal;
    std::string out, says;
  } rows[] = {
      {"typed\x1b", 0, 255, 0, "NAME=\n", ""},
      {"typed\x03", 0, -1, SIGINT, "", ""},
      {"\x04", 0, 1, 0, "NAME=\n", "askbox: input ended before a line was entered\r\n"},
      {"half", SIGINT, -1, SIGINT, "", ""},
      {"half", SIGTERM, -1, SIGTERM, "", ""},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::PrintToString(r.keys) + " " + std::to_string(r.sent));
    Terminal t(captured({"Q", "NAME"}));
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    t.send(r.keys);
    if (r.sent != 0) {
      ASSERT_TRUE(t.wait_text(r.keys)) << t.screen();
      t.signal(r.sent);
    }
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.exit_code(), r.status);
    EXPECT_EQ(t.term_signal(), r.by_signal);
    EXPECT_EQ(t.captured_stdout(), r.out);
    EXPECT_NE(t.tty_output().find(r.says), std::string::npos);
    EXPECT_FALSE(t.alt_screen());
    expect_normal_modes(t);
  }
}

TEST(AskboxAnswer, LongLinesScrollInsideTheField) {
  for (const std::string unit : {"a", "日", "é"}) {
    std::string typed;
    for (int i = 0; i < 300; ++i) typed += unit;
    Terminal t(captured({"Q", "NAME"}));
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    t.send(typed);
    t.wait_quiet();
    const int top = top_of(t);
    EXPECT_EQ(t.cell(top + 2, kLeft + kWidth - 1).text, "|") << t.screen();
    EXPECT_EQ(t.cell(top + 2, kLeft + 3).text, " ") << t.screen();
    EXPECT_EQ(t.cursor_row(), top + 2);
    EXPECT_GE(t.cursor_col(), kLeft + 4);
    EXPECT_LE(t.cursor_col(), kLeft + 62);
    t.send("\x1b[H\x1b[3~<\r");  // the line is full: room for '<' first
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    std::string want;
    for (int i = 0; i < 255; ++i) want += unit;
    EXPECT_EQ(t.captured_stdout(), "NAME=<" + want + "\n") << unit;
  }
}

// Also keys still unread when a signal from kill(2) ends the window (the
// keyboard's own Ctrl-C flushes them; kill does not): held unread by a stop.
TEST(AskboxAnswer, RestOfAPasteNeverReachesTheShell) {
  for (const auto& [sent, out] : {std::pair{0, "NAME=first\nnext=typed later\n"}, std::pair{SIGTERM, "next=typed later\n"}}) {
    Terminal t(ptyterm::in_shell(captured({"Q", "NAME"}), "\"$0\" -s Q NAME; read -r next; echo \"next=$next\""));
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    pid_t box = 0;
    std::ifstream("/proc/" + std::to_string(t.pid()) + "/task/" + std::to_string(t.pid()) + "/children") >> box;
    ASSERT_GT(box, 0) << "askbox under the shell";
    ::kill(box, SIGSTOP);
    t.send("first\nrm -rf x\nsecond\n");
    t.wait_quiet();
    if (sent != 0) ::kill(box, sent);
    ::kill(box, SIGCONT);
    ASSERT_TRUE(t.wait_until([&] { return t.captured_stdout().find("NAME=first\n") != std::string::npos || sent != 0; })) << t.screen();
    t.wait_quiet();
    t.send("typed later\n");
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), out) << sent;
  }
}

// --- no line to read ------------------------------------------------------

TEST(AskboxFailure, TerminalTooSmallForTheWindow) {
  for (const auto& [rows, cols] : {std::make_pair(7, 80), std::make_pair(24, 39)}) {
    Options o = captured({"Q", "NAME"});
    o.rows = rows;
    o.cols = cols;
    Terminal t(o);
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), "NAME=\n") << rows << "x" << cols;
    EXPECT_EQ(t.exit_code(), 1) << rows << "x" << cols;
    EXPECT_EQ(t.screen().find("JUX"), std::string::npos) << t.screen();
    EXPECT_NE(t.tty_output().find("askbox: " + testsupport::note_too_small(rows, cols) + "\r\n"), std::string::npos);
    expect_normal_modes(t);
  }
}

// --- a secret ----------------------------------------------------------------

// Typed one key at a time and edited after a starting text: each
// character (a wide one too) shows as one '*', and no byte of the line
// ever reaches the terminal.
TEST(AskboxSecret, TypedTextNeverReachesTheTerminal) {
  // Key, stars, cursor column after it: characters nothing else drawn spells.
  const std::tuple<std::string, int, int> keys[] = {{"", 1, 1},      {"Z", 2, 2}, {"q", 3, 3},      {"日", 4, 4},
                                                    {"é", 5, 5},     {"\x7f", 4, 4}, {"ö", 5, 5}, {"\x1b[D", 5, 4},
                                                    {"W", 6, 5},     {"\x1b[H", 6, 0}, {"§", 7, 1}};
  Terminal t(captured({"-s", "-i", "ü", "Q", "PW"}));
  for (const auto& [key, stars, cursor] : keys) {
    t.send(key);
    EXPECT_TRUE(t.wait_until([&, stars = stars, cursor = cursor] {
      return t.text(top_of(t) + 2, kLeft, 14) == "|   " + ptyterm::padded(std::string(stars, '*'), 10) &&
             t.cursor_col() == kLeft + 4 + cursor;
    })) << testing::PrintToString(key) << "\n" << t.screen();
  }
  t.send("\r");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "PW=§üZq日Wö\n");
  for (const std::string secret : {"Zq", "ü", "日", "é", "ö", "§"})
    EXPECT_EQ(t.tty_output().find(secret), std::string::npos) << secret;
}

// AddressSanitizer takes mlock over and ignores it: there no line is locked.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kLockable = false;
#else
constexpr bool kLockable = true;
#endif

// As a user without privileges: a secret's process cannot be dumped (its
// /proc files become root's) and its line is locked in memory; a plain
// prompt's is neither, so the test tells them apart.
TEST(AskboxSecret, NoDumpAndALockedLineForAnyUser) {
  uid_t nobody = 0;
  gid_t nogroup = 0;
  if (geteuid() != 0 || !testsupport::nobody_ids(nobody, nogroup)) GTEST_SKIP() << "needs root and user nobody";
  const testsupport::OpenCopy copy(testsupport::bin_path("askbox"));
  for (const std::vector<std::string>& argv :
       {std::vector<std::string>{copy.path(), "-s", "Q", "PW"}, {copy.path(), "Q", "PW"}}) {
    const bool secret = argv.size() == 4;
    Options o = captured({});
    o.argv = testsupport::nobody_argv(argv);
    o.env["ASAN_OPTIONS"] = "detect_leaks=0";  // the leak check cannot attach to an undumpable process
    Terminal t(o);
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    const std::string status = "/proc/" + std::to_string(t.pid()) + "/status";
    struct stat owner {};
    ASSERT_EQ(stat(status.c_str(), &owner), 0);
    EXPECT_EQ(owner.st_uid, secret ? 0 : nobody);
    std::ifstream in(status);
    long locked_kb = -1;
    for (std::string field; in >> field;) if (field == "VmLck:") in >> locked_kb;
    EXPECT_EQ(locked_kb > 0, secret && kLockable) << locked_kb << " kB locked";
    t.send("x\r");
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), "PW=x\n");
  }
}

// --- legacy character sets (the test locales, through LOCPATH) ------------

TEST(AskboxLocale, PromptCutAndAnswerInEucJp) {
  // Half-width katakana, 2 bytes and one column each: 80 bytes that fit the
  // row, cut at 79 inside the last character (a half would show as '?').
  std::string kana;
  for (int i = 0; i < 20; ++i) kana += "\x8e\xb1\x8e\xb2";
  Terminal t(testsupport::in_locale(captured({kana, "NAME"}), "ja_JP.eucJP"));
  ASSERT_TRUE(wait_reading(t));
  t.send("\xa4\xa2\r");
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.captured_stdout(), "NAME=\xa4\xa2\n");
  EXPECT_EQ(t.exit_code(), 0);
  const std::size_t at = t.tty_output().find(kana.substr(0, 78));
  ASSERT_NE(at, std::string::npos);
  EXPECT_NE(t.tty_output().substr(at + 78, 1), "?");
}

TEST(AskboxFailure, ResultThatCannotBeWrittenIsAFailure) {
  Options o = ptyterm::in_shell(askbox({"Q", "NAME"}), "exec \"$0\" Q NAME >/dev/full");
  Terminal t(o);
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("x\r");
  ASSERT_TRUE(t.wait_exit());
  EXPECT_EQ(t.exit_code(), 1);
}

// --- command line ----------------------------------------------------------

// Starts that cannot draw: a wrong count of arguments, a NAME of two lines,
// a terminal of no use, a character set the C library cannot read. The
// caller still gets NAME= where a NAME was given.
TEST(AskboxFailure, StartsThatCannotDrawSayWhy) {
  const std::string usage = "Usage: askbox [-s] [-i TEXT] PROMPT NAME";
  const std::vector<std::string> wrong_counts[] = {{}, {"Q"}, {"Q", "NAME", "extra"}};
  std::vector<testsupport::NoDrawing> cases = {
      {captured({"-s", "-i", "Q", "NAME"}), 1, usage + "\r\n", ""},
      {captured({"Q", "A\nB"}), 1, "askbox: NAME holds a line break, and the answer must be one line\r\n", ""},
      {testsupport::in_locale(captured({"Q", "NAME"}), "ja_JP.nomodule"), 1,
       "askbox: the C library cannot convert the locale's character set NOMODULE (its conversion modules are missing or do not match)\r\n",
       "NAME=\n"},
  };
  for (const auto& args : wrong_counts) cases.push_back({captured(args), 1, usage + "\r\n", ""});
  for (NoDrawing& c : cases) c.options.stdout_to_pipe = true;
  for (const auto& u : ptyterm::unusable_terminals()) {
    cases.push_back({captured({"Q", "NAME"}), 1, "askbox: " + u.why + "\r\n", "NAME=\n"});
    ptyterm::set_term(cases.back().options, u.term);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tty_output);
    testsupport::expect_no_drawing(c);
  }
  // Without a terminal: the usage, or the reason, on standard error.
  std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> runs = {
      {{"Q", "NAME"}, "NAME=\n", "askbox: no terminal to draw on (standard output is not one, and there is no /dev/tty)\n"}};
  for (const auto& args : wrong_counts) runs.push_back({args, "", usage + "\n"});
  for (const auto& [args, out, err] : runs) {
    std::vector<std::string> argv = {testsupport::bin_path("askbox")};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::ProcOptions typed;
    typed.stdin_data = "typed\n";
    const auto r = testsupport::run_process(argv, typed);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, out);
    EXPECT_EQ(r.err, err);
  }
}

// --- interrupts ------------------------------------------------------------

TEST(AskboxInterrupt, SignalsAtRandomMomentsOfTheStart) {
  EXPECT_EQ(ptyterm::faults_under_random_signals(captured({"Q", "NAME"}), 60, 11), "");
}

// Keys from a pipe, with no terminal of its own to read: what the caller
// (here a shell script, "$0" the program) gets and the last status.
TEST(AskboxKeys, FromAPipe) {
  const struct {
    std::string input, script, out;
    int status;
  } rows[] = {
      {"ab\377cd\n", "exec \"$0\" Q NAME", "NAME=abcd\n", 0},  // invalid bytes dropped
      // The next line is left for the next reader.
      {"yes, me\nmore\nrest\n", "\"$0\" Q A && \"$0\" Q B && cat", "A=yes, me\nB=more\nrest\n", 0},
      // No line to read: an empty value and status 1.
      {"", "exec \"$0\" Q NAME", "NAME=\n", 1},
      {"partial", "exec \"$0\" Q NAME", "NAME=\n", 1},
      // A Ctrl-C byte is an interrupt, unless the caller ignores it.
      {"ab\x03" "cd\n", "\"$0\" Q NAME; echo \"status $?\"", "status 130\n", 0},
      {"ab\x03" "cd\n", "trap '' INT; \"$0\" Q NAME; echo \"status $?\"", "NAME=\nstatus 1\n", 0},
  };
  for (const auto& r : rows) {
    const Answer a = piped(r.input, ptyterm::in_shell(askbox({}), r.script));
    EXPECT_EQ(a.out, r.out) << r.script << " " << testing::PrintToString(r.input);
    EXPECT_EQ(a.status, r.status) << r.script << " " << testing::PrintToString(r.input);
  }
}

TEST(AskboxInterrupt, IgnoredInterruptStaysIgnored) {
  Options o = ptyterm::in_shell(captured({"Q", "NAME"}), "trap '' INT; exec \"$0\" Q NAME");
  Terminal t(o);
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.signal(SIGINT);
  t.send("ok\r");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "NAME=ok\n");
  EXPECT_EQ(t.exit_code(), 0);
}

// A mask the caller blocked signals in is inherited across exec: the window
// still redraws on a resize and ends on Ctrl-C.
TEST(AskboxInterrupt, SignalsTheCallerBlockedAreStillTaken) {
  Options o = captured({"Q", "NAME"});
  o.argv = {"/usr/bin/perl", "-MPOSIX", "-e",
            "sigprocmask(SIG_BLOCK, POSIX::SigSet->new(" + std::to_string(SIGINT) + ", " + std::to_string(SIGWINCH) +
                ", " + std::to_string(SIGTSTP) + ")) or die; exec @ARGV or die",
            o.argv.at(0), "Q", "NAME"};
  Terminal t(o);
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("ab");
  t.resize(40, 100);
  ASSERT_TRUE(t.wait_until([&] { return t.text(20 + 2, kLeft + 4, 2) == "ab"; })) << t.screen();
  t.send("\x03");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.term_signal(), SIGINT);
  expect_normal_modes(t);
}

}  // namespace

namespace {

// --- resize and suspend ------------------------------------------------------

// In both locales: the wide-character read and the byte read each take a
// resize as no key.
TEST(AskboxWindow, ResizeDrawsTheWindowAgainWithTheLineAndItsCursor) {
  for (const char* locale : {"C.UTF-8", "C"}) {
    SCOPED_TRACE(locale);
    Options o = captured({"Your name?", "NAME"});
    o.locale = locale;
    Terminal t(o);
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    t.send("abcdef\x1b[D\x1b[D");
    ASSERT_TRUE(t.wait_until([&] { return t.cursor_col() == kLeft + 8; })) << t.screen();
    t.resize(40, 100);
    ASSERT_TRUE(t.wait_until([&] {
      return t.text(20 + 2, kLeft + 4, 6) == "abcdef" && t.cursor_row() == 20 + 2 && t.cursor_col() == kLeft + 8;
    })) << t.screen();  // the whole screen at each size: WholeScreenAtEachSizeAndThroughAShrink
    // Too small, then back: the keys typed meanwhile count.
    t.resize(1, 1);
    t.wait_quiet();
    t.send("X");
    t.wait_quiet();
    t.resize(5, 80);
    ASSERT_TRUE(t.wait_text("terminal too small")) << t.screen();
    EXPECT_EQ(t.row_text(0), testsupport::note_too_small(5, 80));
    t.send("Y");
    t.resize(24, 80);
    ASSERT_TRUE(t.wait_until([&] { return t.text(12 + 2, kLeft + 4, 8) == "abcdXYef"; })) << t.screen();
    t.send("\r");
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), "NAME=abcdXYef\n");
    EXPECT_EQ(t.exit_code(), 0);
  }
}

TEST(AskboxWindow, SuspendGivesTheShellItsTerminalAndFgBringsTheWindowBack) {
  // A caller that ignores resizes still gets the window back.
  const Options o = ptyterm::in_shell(
      captured({"Q", "NAME"}), "trap '' WINCH; set -m; \"$0\" Q NAME; echo stopped >&2; read -r _; fg >&2; echo \"rc=$?\" >&2",
      "/bin/bash");
  Terminal t(o);
  ASSERT_NO_FATAL_FAILURE(type_and_suspend(t, "half", "stopped"));
  EXPECT_FALSE(t.alt_screen());
  expect_normal_modes(t);
  t.send("\n");
  ASSERT_TRUE(t.wait_until([&] { return t.alt_screen() && t.text(12 + 2, kLeft + 4, 4) == "half"; })) << t.screen();
  t.send(" more\r");
  ASSERT_TRUE(t.wait_text("rc=0")) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "NAME=half more\n");
}

// --- any key sequence ------------------------------------------------------

// Random bytes, invalid UTF-8 and escape sequences among them: the answer
// never holds a control byte, and the prompt always takes the Enter at the end.
TEST(AskboxAnswer, RandomKeysNeverBreakTheAnswerOrTheReading) {
  std::mt19937 rng(2024);
  const std::string excluded = std::string("\r\n\x1b\x03\x04\x1a\x1c\x11\x13", 9);
  const char* sequences[] = {"\x1b[A", "\x1b[D", "\x1b[3~", "\x1bOH", "\x1b[F", "\x1b[15~", "\x1bx", "\x1b[M !!"};
  for (int run = 0; run < 24; ++run) {
    std::string keys;
    for (int i = 0; i < 400; ++i) {
      if (rng() % 20 == 0) {
        keys += sequences[rng() % 8];
        continue;
      }
      const char c = static_cast<char>(rng() % 256);
      if (excluded.find(c) == std::string::npos) keys += c;
    }
    Options o = captured({"Q", "NAME"});
    o.locale = run % 3 == 0 ? "C" : "C.UTF-8";
    Terminal t(o);
    ASSERT_TRUE(wait_reading(t)) << t.screen();
    t.send(keys);
    t.wait_quiet();
    t.send("\r");
    ASSERT_TRUE(t.wait_exit()) << "run " << run << "\n" << t.screen();
    EXPECT_EQ(t.exit_code(), 0) << run;
    const std::string out = t.captured_stdout();
    ASSERT_GE(out.size(), 6u);
    EXPECT_EQ(out.substr(0, 5), "NAME=");
    EXPECT_EQ(out.back(), '\n');
    for (std::size_t i = 5; i + 1 < out.size(); ++i) {
      const unsigned char b = static_cast<unsigned char>(out[i]);
      EXPECT_TRUE(b >= 0x20 && b != 0x7f) << "run " << run << " byte " << int(b) << " at " << i;
    }
    expect_normal_modes(t);
  }
}

}  // namespace

// --- where keys come from -------------------------------------------------

namespace {

// A file of lines, open for reading; removed from the directory at once.
int lines_file(const std::string& text) {
  char path[] = "/tmp/askbox-lines-XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return -1;
  unlink(path);
  if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return -1;
  lseek(fd, 0, SEEK_SET);
  return fd;
}

}  // namespace

TEST(AskboxKeys, FromTheKeyboardWhateverStandardInputIs) {
  const std::string bin = testsupport::bin_path("askbox");
  struct Case {
    std::string script;   // run by sh with the program as $0, on a file of lines as standard input
    std::vector<std::string> keys;  // typed, one window each
    std::string out;
  };
  const Case cases[] = {
      {"exec \"$0\" Q A", {"x\r"}, "A=x\n"},
      {"while read -r h; do \"$0\" \"$h?\" A; done", {"x\r", "y\r"}, "A=x\nA=y\n"},
      // With no terminal of its own, standard input is read as it is.
      {"printf 'yes\\r' | setsid -w \"$0\" Q A >/dev/tty; exec cat", {}, "one\ntwo\n"},
  };
  for (const auto& c : cases) {
    const int fd = lines_file("one\ntwo\n");
    ASSERT_GE(fd, 0);
    Options o = askbox({});
    o.argv = {"/bin/sh", "-c", c.script, bin};
    o.stdin_fd = fd;
    o.stdout_to_pipe = true;
    Terminal t(o);
    for (const auto& k : c.keys) {
      ASSERT_TRUE(wait_reading(t)) << t.screen();
      const std::size_t before = t.captured_stdout().size();
      t.send(k);
      ASSERT_TRUE(t.wait_until([&] { return t.captured_stdout().size() > before; })) << t.screen();
    }
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.captured_stdout(), c.out) << c.script;
    if (c.keys.empty()) {
      EXPECT_NE(t.screen().find("A=yes"), std::string::npos) << t.screen();
    } else if (c.keys.size() == 1) {
      EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0) << "the file's bytes were read";
    }
    expect_normal_modes(t);
    close(fd);
  }
}

TEST(AskboxKeys, KeysTypedBeforeTheWindowAreDropped) {
  char dir[] = "/tmp/askbox-ahead-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string go = std::string(dir) + "/go";
  Options o = captured({});
  o.argv = {"/bin/sh", "-c", "while [ ! -e \"$1\" ]; do sleep 0.05; done; exec \"$0\" Q NAME",
            testsupport::bin_path("askbox"), go};
  Terminal t(o);
  t.send("early\r");
  ASSERT_TRUE(t.wait_text("early")) << t.screen();  // echoed: waiting on the terminal
  std::fclose(std::fopen(go.c_str(), "w"));
  ASSERT_TRUE(wait_reading(t)) << t.screen();
  t.send("late\r");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "NAME=late\n");
  std::remove(go.c_str());
  rmdir(dir);
}

// Without an alternate screen, Ctrl-Z hands the shell a screen with no trace
// of the answer; fg brings the window back.
TEST(AskboxKeys, NoAlternateScreenStopLeavesNothingDrawn) {
  Options o = ptyterm::in_shell(captured({}), "set -m; \"$0\" Q PW; read -r _; fg >/dev/null", "/bin/bash");
  o.term = "linux";
  Terminal t(o);
  ASSERT_NO_FATAL_FAILURE(type_and_suspend(t, "secret", "Stopped"));
  EXPECT_EQ(ptyterm::shown_rows(t), "22: [1]+  Stopped                 \"$0\" Q PW\n");
  t.send("\n");
  ASSERT_TRUE(t.wait_text("secret")) << t.screen();
  t.send("\r");
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.captured_stdout(), "PW=secret\n");
}
