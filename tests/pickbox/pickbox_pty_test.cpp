// pickbox in a pseudo-terminal: the window read back cell by cell, and the
// hand-off recorded by a stand-in mqtool first on the search path.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "proc.h"
#include "places.h"
#include "pty_term.h"
#include "windows.h"
#include "queues.h"
#include "testkey.h"

namespace {

using Strings = std::vector<std::string>;

Strings numbered(int count) {
  Strings items;
  for (int i = 1; i <= count; ++i) items.push_back("item" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  return items;
}

using ptyterm::padded;

// Keys sent, then the view they must give: the list scrolled to yy with the
// cursor on visible row j.
struct Step {
  std::string keys;
  int yy;
  int j;
};

class Pickbox : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/pickbox-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    // Records its arguments, each followed by a NUL, so empty ones show.
    std::ofstream stub(dir_ + "/mqtool");
    stub << "#!/bin/sh\n"
         << "for a in \"$@\"; do printf '%s\\000' \"$a\"; done > '" << dir_ << "/args'\n"
         // Descriptors it got beyond the standard three (the shell keeps its own above 9).
         << "for fd in 3 4 5 6 7 8 9; do [ ! -e /proc/$$/fd/$fd ] || echo $fd; done > '" << dir_ << "/fds'\n"
         << "exit ${STUB_STATUS:-0}\n";
    stub.close();
    chmod((dir_ + "/mqtool").c_str(), 0755);
  }

  void TearDown() override {
    term_.reset();
    std::remove((dir_ + "/args").c_str());
    std::remove((dir_ + "/mqtool").c_str());
    std::remove((dir_ + "/fds").c_str());
    rmdir(dir_.c_str());
  }

  ptyterm::Options options(const Strings& items, const std::string& title) {
    Strings args = items;
    args.push_back(title);
    ptyterm::Options o = ptyterm::program_options(testsupport::bin_path("pickbox"), args);
    o.env["PATH"] = dir_ + ":" + std::getenv("PATH");
    o.env["JUX_QUEID"] = std::nullopt;
    return o;
  }

  // Starts pickbox and waits for its first full draw.
  ptyterm::Terminal& start(const ptyterm::Options& o) {
    term_ = std::make_unique<ptyterm::Terminal>(o);
    place_at(o.rows, o.cols);
    bool drawn = term_->wait_until([&] { return term_->exited() || (term_->cursor_row() > top_ && term_->tty_bytes() > 0); });
    EXPECT_TRUE(drawn) << term_->screen();
    term_->wait_quiet();
    return *term_;
  }
  ptyterm::Terminal& start(const Strings& items, const std::string& title = "Title") {
    return start(options(items, title));
  }

  // What is wrong with the window against the list scrolled to yy with the
  // cursor on visible row j; empty when it is right.
  std::string mismatch(const Strings& items, int yy, int j) const {
    std::string pic, vid;
    for (int k = 0; k < testsupport::kPickboxListRows; ++k) {
      const size_t index = static_cast<size_t>(yy + k);
      pic += padded(index < items.size() ? items[index] : "", testsupport::kPickboxInner) + "\n";
      const size_t lit = k == j ? std::min<size_t>(items[index].size(), testsupport::kPickboxInner) : 0;
      vid += std::string(lit, '#') + std::string(testsupport::kPickboxInner - lit, '.') + "\n";
    }
    return picture_mismatch(pic, vid, testsupport::kPickboxListRows, j,
                            static_cast<int>(items[static_cast<size_t>(yy + j)].size()));
  }

  // The list rows (and the find line when rows is 15) against pic and vid,
  // with the cursor on row j after col columns; empty when all agree.
  std::string picture_mismatch(const std::string& pic, const std::string& vid, int rows, int j, int col) const {
    const ptyterm::Terminal& t = *term_;
    const int inner = testsupport::kPickboxInner;
    const std::string got_pic = t.picture(top_ + 1, left_ + 1, rows, inner), got_vid = t.video(top_ + 1, left_ + 1, rows, inner);
    const bool cursor = t.cursor_row() == top_ + 1 + j && t.cursor_col() == left_ + 1 + col;
    if (got_pic == pic && got_vid == vid && cursor) return "";
    return "want:\n" + pic + vid + "got:\n" + got_pic + got_vid +
           (cursor ? "" : "cursor at " + std::to_string(t.cursor_row()) + "," + std::to_string(t.cursor_col()) + "\n");
  }

  // Waits for the window to show that state, then checks it.
  void expect_view(const Strings& items, int yy, int j) {
    term_->wait_until([&] { return mismatch(items, yy, j).empty(); }, 3000);
    EXPECT_EQ(mismatch(items, yy, j), "") << "yy=" << yy << " j=" << j << "\n" << term_->screen();
  }

  void keys(std::string_view bytes) { term_->send(bytes); }

  // Sends each step's keys and waits for its view.
  void expect_walk(const Strings& items, const std::vector<Step>& steps) {
    for (const Step& step : steps) {
      keys(step.keys);
      SCOPED_TRACE(std::to_string(items.size()) + " items, keys " + step.keys);
      expect_view(items, step.yy, step.j);
    }
  }

  // Columns a test text takes: its three-byte characters are all wide.
  static int columns(const std::string& s) {
    int n = 0;
    for (unsigned char c : s) n += (c & 0xC0) == 0x80 ? 0 : (c >= 0xE0 ? 2 : 1);
    return n;
  }
  static std::string fill(const std::string& s) { return s + std::string(22 - columns(s), ' '); }

  // What is wrong with the window while finding: its rows (the highlight on
  // row j, -1 for none), then the bottom edge holding `edge`, the cursor
  // after it; empty when it is right.
  std::string find_mismatch(const Strings& rows, int j, const std::string& edge) const {
    std::string pic, vid;
    for (int k = 0; k < 14; ++k) {
      const std::string row = k < static_cast<int>(rows.size()) ? rows[k] : "";
      // The right half of a wide character reads as a cell of its own, not reversed.
      std::string lit = k != j ? "" : row.empty() ? "#" : "";
      for (size_t b = 0; k == j && b < row.size(); ++b)
        if ((row[b] & 0xC0) != 0x80) lit += static_cast<unsigned char>(row[b]) >= 0xE0 ? "#." : "#";
      pic += fill(row) + "\n";
      vid += lit + std::string(22 - lit.size(), '.') + "\n";
    }
    pic += fill(edge) + "\n";
    vid += std::string(22, '#') + "\n";
    return picture_mismatch(pic, vid, testsupport::kPickboxListRows + 1, testsupport::kPickboxListRows, columns(edge));
  }
  void expect_find(const Strings& rows, int j, const std::string& edge) {
    term_->wait_until([&] { return find_mismatch(rows, j, edge).empty(); }, 3000);
    EXPECT_EQ(find_mismatch(rows, j, edge), "") << term_->screen();
  }


  // The arguments the stand-in mqtool got after its name, or nothing if it never ran.
  std::optional<Strings> handed_off() const {
    std::ifstream in(dir_ + "/args", std::ios::binary);
    if (!in) return std::nullopt;
    Strings args;
    std::string arg;
    while (std::getline(in, arg, '\0')) args.push_back(arg);
    return args;
  }

  void expect_exit(int status) {
    ASSERT_TRUE(term_->wait_exit(5000)) << term_->screen();
    EXPECT_EQ(term_->exit_code(), status) << term_->screen();
  }

  void expect_normal_modes() const {
    EXPECT_EQ(ptyterm::mode_faults(term_->modes()), "");
    EXPECT_FALSE(term_->alt_screen());
  }

  void place_at(int rows, int cols) {
    const testsupport::Place p = testsupport::pickbox_place(rows, cols);
    top_ = p.top;
    left_ = p.left;
  }

  std::string dir_;
  std::unique_ptr<ptyterm::Terminal> term_;
  int top_ = 0, left_ = 0;
};

const Strings fruit = {"Apple", "Banana", "Cherry"};

// Drawn on the terminal also when standard output is captured, which gets
// nothing.
TEST_F(Pickbox, FrameAndTitleDrawnInReverse) {
  ptyterm::Options o = options(fruit, "Fruit");
  o.stdout_to_pipe = true;
  auto& t = start(o);
  // The frame in reverse, the title over its top edge, curses' own corners
  // where the title does not cover them, and nothing outside the window.
  std::string pic = std::string(26, ' ') + "\n " + "- Fruit -" + std::string(14, ' ') + "┐ \n";
  std::string vid = std::string(26, '.') + "\n." + std::string(24, '#') + ".\n";
  for (int r = 0; r < testsupport::kPickboxListRows; ++r) {
    pic += "  " + padded(r < 3 ? fruit[static_cast<size_t>(r)] : "", 22) + "  \n";
    vid += ".#" + std::string(r == 0 ? 5 : 0, '#') + std::string(r == 0 ? 17 : 22, '.') + "#.\n";
  }
  pic += " └" + std::string(22, ' ') + "┘ \n" + std::string(26, ' ') + "\n";
  vid += "." + std::string(24, '#') + ".\n" + std::string(26, '.') + "\n";
  EXPECT_EQ(t.picture(top_ - 1, left_ - 1, 18, 26), pic) << t.screen();
  EXPECT_EQ(t.video(top_ - 1, left_ - 1, 18, 26), vid) << t.screen();
  expect_view(fruit, 0, 0);
  keys("g\r");
  expect_exit(0);
  EXPECT_EQ(t.captured_stdout(), "");
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "Cherry", "Fruit"}));
}

// Each list walked, its window checked whole at every step: what scrolling
// leaves behind shows too (a row of all 22 columns passed by a short one).
TEST_F(Pickbox, ScrollingByListLength) {
  Strings stale = numbered(16);
  stale[0] = "abcdefghijklmnopqrstuv";
  stale[1] = "x";
  const std::vector<std::pair<Strings, std::vector<Step>>> walks = {
      // The Down on the last item changes nothing.
      {fruit, {{"", 0, 0}, {"jj", 0, 2}, {"jk", 0, 1}, {"t", 0, 0}, {"g", 0, 2}}},
      // Fourteen fit: never a scroll.
      {numbered(14), {{std::string(20, 'j'), 0, 13}, {"tg", 0, 13}}},
      {numbered(15), {{std::string(13, 'j'), 0, 13}, {"j", 1, 13}, {"jk", 1, 12}, {"tg", 1, 13}}},
      // Then Home, End and the pages in every form the terminal sends.
      {numbered(40), {{"g", 26, 13},       {std::string(13, 'k'), 26, 0}, {"k", 25, 0},       {"t", 0, 0},
                      {"\x1b[F", 26, 13},  {"\x1b[H", 0, 0},  {"\x1bOF", 26, 13}, {"\x1bOH", 0, 0}, {"\x1b[4~", 26, 13},
                      {"\x1b[1~", 0, 0}, {"\x1b[6~", 1, 13}, {"\x1b[6~", 15, 13}, {"\x1b[5~", 14, 0}, {"\x1b[5~", 0, 0},
                      {"\x1b[5~", 0, 0}, {"\x1bOB\x1b[B", 0, 2}}},
      {stale, {{std::string(14, 'j'), 1, 13}, {"t", 0, 0}}}};
  for (const auto& [items, steps] : walks) {
    start(items);
    expect_walk(items, steps);
  }
}

TEST_F(Pickbox, CursorKeysAndTypedLetters) {
  Strings items = numbered(15);
  start(items);
  // Everything else redraws only; the 'j' after them shows they moved nothing.
  std::vector<Step> steps = {{"\x1b[B\x1b[B\x1bOB", 0, 3}, {"\x1b[A\x1bOA", 0, 1}, {"BBB", 0, 4}, {"A", 0, 3},
                             {"\x1b[\x1bOJKTGQbaz x\x1b[C\x1b[Dj", 0, 4},
                             // Ctrl-S and Ctrl-Q are keys like any other: the
                             // terminal must not take them to stop and start output.
                             {"\x13j", 0, 5}, {"\x11j", 0, 6}};
  // Shift-Tab ends in 'Z', F1 in 'P', a mouse report holds 'B': none may act.
  // An ESC before a key's own sequence is Alt with that key, not Esc alone.
  for (const char* key : {"\x1b[Z", "\x1bOP", "\x1b[15~", "\x1b[2~", "\x1b[3~", "\x1b[C", "\x1b[D", "\x1bx",
                          "\x1b[M !B", "\x1b[<0;2;2M", "\x1b[1;5A", "\x1b[1;2B", "\x1b\x1bOA", "\x1b\x1b[5~",
                          "\x1b\x1b[1;5C", "\x1b\x1bOH", "\x1b\x1b[B"})
    steps.insert(steps.end(), {{std::string(key) + "j", 0, 7}, {"k", 0, 6}});
  expect_walk(items, steps);
  keys("Z");
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "item07", "Title"}));
}

// Each choose key hands the selected item on, to the queue JUX_QUEID names
// (read as atoi reads it), or to 30001 without it; the command holds none of
// the terminals the window opened (standard output captured, keys from
// /dev/tty).
TEST_F(Pickbox, EachChooseKeyHandsOnTheSelectedItem) {
  const std::tuple<std::string, std::optional<std::string>, std::string, bool> rows[] = {
      {"\r", std::nullopt, "30001", false}, {"\n", "10000", "10000", true}, {"Z", " 40123abc", "40123", false},
      {"\r", "+2147483647", "2147483647", false}};
  for (const auto& [key, env, qid, own_terminals] : rows) {
    std::remove((dir_ + "/args").c_str());
    ptyterm::Options o = options(fruit, "Fruit");
    o.env["JUX_QUEID"] = env;
    if (own_terminals) {
      o.stdout_to_pipe = true;
      o.stdin_data = "";
    }
    start(o);
    keys("j" + key);
    expect_exit(0);
    EXPECT_EQ(handed_off(), (Strings{"-s", qid, "Banana", "Fruit"})) << int(key[0]) << " " << env.value_or("(unset)");
    std::ifstream fds(dir_ + "/fds");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(fds), {}), "") << "descriptors the command got";
    expect_normal_modes();
  }
}

TEST_F(Pickbox, TitleOnly) {
  Strings title = {"Only"};
  start({}, "Only");
  expect_walk(title, {{"", 0, 0}, {"jkgtBA\x1b[B", 0, 0}});
  keys("\r");
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "Only", "Only"}));
}

// No argument, what mqtool would refuse, and terminals of no use: refused
// before drawing, and nothing handed off.
TEST_F(Pickbox, StartsThatCannotDrawSayWhy) {
  const std::string below = " below 10000, the lowest key mqtool sends on\r\n";
  std::vector<testsupport::NoDrawing> cases = {
      {options({}, ""), 1, "Usage: pickbox ITEM... TITLE\r\n"},
      {options({"short", std::string(1025, 'x')}, "Long"), 1,
       "pickbox: item 2 is longer than 1024 bytes, the most one message holds\r\n"},
      {options({}, std::string(1025, 'T')), 1,
       "pickbox: the only choice, the title, is longer than 1024 bytes, the most one message holds\r\n"},
      {options({}, ""), 1, "pickbox: the only choice, the title, is empty and cannot be posted\r\n"},
  };
  cases[0].options.argv.pop_back();
  const std::pair<std::string, std::string> keys_refused[] = {
      {"", "reads as 0," + below},
      {"word", "reads as 0," + below},
      {"9999", "reads as 9999," + below},
      {"2147483648", "is outside the range of a queue key\r\n"},
      {"4295017297", "is outside the range of a queue key\r\n"}};
  for (const auto& [env, why] : keys_refused) {
    cases.push_back({options(fruit, "Fruit"), 1, "pickbox: JUX_QUEID=" + env + " " + why});
    cases.back().options.env["JUX_QUEID"] = env;
  }
  for (const auto& u : ptyterm::unusable_terminals()) {
    cases.push_back({options(fruit, "Fruit"), 1, "pickbox: " + u.why + "\r\n"});
    ptyterm::set_term(cases.back().options, u.term);
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tty_output);
    testsupport::expect_no_drawing(c);
  }
  EXPECT_FALSE(handed_off());
  const auto r = testsupport::run_process({testsupport::bin_path("pickbox"), "a", "T"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "pickbox: no terminal to draw on (standard output is not one, and there is no /dev/tty)\n");
}

// Each way a hand-off fails is worded by RunCommand's own cases; here that
// pickbox says it and fails, for a status and for a command not found.
TEST_F(Pickbox, UndeliveredChoiceIsAFailureThatSaysWhy) {
  ptyterm::Options o = options(fruit, "Fruit");
  o.env["STUB_STATUS"] = "3";
  start(o);
  keys("\r");
  expect_exit(1);
  EXPECT_TRUE(handed_off());
  EXPECT_NE(term_->tty_output().find("pickbox: mqtool ended with status 3\r\n"), std::string::npos);

  std::remove((dir_ + "/mqtool").c_str());
  o.env["PATH"] = dir_;  // no mqtool anywhere
  o.env.erase("STUB_STATUS");
  start(o);
  keys("\r");
  expect_exit(1);
  expect_normal_modes();
  EXPECT_NE(term_->tty_output().find("pickbox: cannot start mqtool (looked up on PATH): No such file or directory\r\n"),
            std::string::npos);
}

TEST_F(Pickbox, EmptyItemShowsABlankHighlightAndIsNeverPosted) {
  const Strings items = {"a", "", "c"};
  start(items);
  keys("j");
  ASSERT_TRUE(term_->wait_until([&] { return term_->reverse(top_ + 2, left_ + 1); })) << term_->screen();
  EXPECT_EQ(term_->text(top_ + 2, left_ + 1, 22), std::string(22, ' '));
  EXPECT_FALSE(term_->reverse(top_ + 2, left_ + 2));
  EXPECT_FALSE(term_->reverse(top_ + 1, left_ + 1));
  keys("\r");
  expect_exit(1);
  EXPECT_FALSE(handed_off());
  EXPECT_NE(term_->tty_output().find("pickbox: the chosen item is empty, and an empty text cannot be posted\r\n"),
            std::string::npos);
}

TEST_F(Pickbox, ResizeDrawsTheWindowCentredAgainWithItsState) {
  Strings items = numbered(40);
  start(items);
  keys(std::string(15, 'j'));
  expect_view(items, 2, 13);
  term_->resize(30, 100);
  place_at(30, 100);
  expect_view(items, 2, 13);
  EXPECT_EQ(term_->text(top_, left_, 9), "- Title -");
  // Nothing of the old drawing stays.
  for (int r = 0; r < 30; ++r) {
    if (r < top_ || r > top_ + 15) {
      EXPECT_EQ(term_->row_text(r), "") << r << "\n" << term_->screen();
    }
  }
  EXPECT_EQ(term_->text(top_ + 1, 0, left_), std::string(left_, ' '));

  // Too small: a note and nothing of the window; keys still count.
  // On a narrow one the note goes on in the rows below, broken at blanks.
  term_->resize(10, 30);
  ASSERT_TRUE(term_->wait_text("terminal too small")) << term_->screen();
  EXPECT_EQ(ptyterm::shown_rows(*term_),
            "0: terminal too small: needs 16\n1: lines and 24 columns, has 10\n2: lines and 30 columns\n");
  keys("k");
  term_->wait_quiet();
  term_->resize(16, 24);
  top_ = 0;
  left_ = 0;
  expect_view(items, 2, 12);
  keys("\r");
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "item15", "Title"}));
}

TEST_F(Pickbox, SuspendGivesTheShellItsTerminalAndFgBringsTheWindowBack) {
  start(ptyterm::in_shell(options(fruit, "Fruit"),
                          "set -m; \"$0\" Apple Banana Cherry Fruit; echo stopped; read -r _; fg; echo again; "
                          "read -r _; bg; until jobs -s | grep -q .; do sleep 0.05; done; echo waits; read -r _; fg; echo \"rc=$?\"", "/bin/bash"));
  keys("j");
  expect_view(fruit, 0, 1);
  keys("\x1a");
  ASSERT_TRUE(term_->wait_text("stopped")) << term_->screen();
  term_->wait_quiet();
  expect_normal_modes();
  keys("\n");
  expect_view(fruit, 0, 1);
  // Through bg: continued in the background, the window waits for the
  // terminal (stopped again, as the shell must see before its fg), and takes
  // its modes again on fg.
  keys("\x1a");
  ASSERT_TRUE(term_->wait_text("again")) << term_->screen();
  keys("\n");
  ASSERT_TRUE(term_->wait_text("waits")) << term_->screen();
  keys("\n");
  expect_view(fruit, 0, 1);
  EXPECT_EQ(term_->modes().c_lflag & (ICANON | ECHO), 0u);
  keys("j\r");
  ASSERT_TRUE(term_->wait_text("rc=0")) << term_->screen();
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "Cherry", "Fruit"}));
}

// Started with & where the shell has job control, the window leaves the
// terminal alone (its modes, its screen, the keys typed for the shell) until
// fg, and from then on is a window like any other.
TEST_F(Pickbox, StartedInTheBackgroundWaitsForFg) {
  for (const char* shell : {"/bin/bash", "/bin/dash"}) {
    std::remove((dir_ + "/args").c_str());
    term_ = std::make_unique<ptyterm::Terminal>(ptyterm::in_shell(
        options(fruit, "Fruit"),
        "set -m; \"$0\" Apple Banana Cherry Fruit & until grep -q 'State:.*T' /proc/$!/status; do sleep 0.05; done; "
        "echo waits; read -r line; echo \"shell read $line\"; fg >/dev/null; echo \"rc=$?\"",
        shell));
    place_at(24, 80);
    ASSERT_TRUE(term_->wait_text("waits")) << shell << "\n" << term_->screen();
    term_->wait_quiet(300);
    // Only the shell's own lines: not one escape sequence.
    EXPECT_EQ(term_->tty_output().find('\x1b'), std::string::npos) << shell << "\n" << term_->tty_output();
    expect_normal_modes();
    keys("typed\n");
    ASSERT_TRUE(term_->wait_until([&] { return term_->tty_output().find("shell read typed") != std::string::npos; }))
        << shell << "\n" << term_->screen();
    expect_view(fruit, 0, 0);
    keys("j\r");
    ASSERT_TRUE(term_->wait_text("rc=0")) << shell << "\n" << term_->screen();
    EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "Banana", "Fruit"})) << shell;
  }
}

// A continue with no stop before it (a shell's fg that won the race with
// Ctrl-Z) takes the terminal again: the shell may have left its own modes,
// and its job line over the window.
TEST_F(Pickbox, AContinueTakesTheTerminalAgain) {
  start(fruit);
  const termios program = term_->modes();
  keys("j");
  expect_view(fruit, 0, 1);
  term_->wait_quiet();
  termios shell = program;
  shell.c_lflag |= ICANON | ECHO;
  term_->set_modes(shell);
  const size_t before = term_->tty_bytes();
  term_->signal(SIGCONT);
  term_->wait_quiet();
  EXPECT_NE(term_->tty_output().find("Banana", before), std::string::npos) << term_->tty_output().substr(before);
  EXPECT_EQ(term_->modes().c_lflag & (ICANON | ECHO), 0u);
  keys("j\r");
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "Cherry", "Title"}));
}

// A script between the shell and the window stops first, so the shell may
// hold the terminal again while the window is still giving it back; an fg
// at once must still find the window running. A race: several rounds.
TEST_F(Pickbox, SuspendedInsideAScriptComesBackOnAnImmediateFg) {
  constexpr int rounds = 6;
  ptyterm::Options o = options(fruit, "Fruit");
  o.term = "vt100";  // the longest way out: every row of the window erased
  std::string script = "set -m";  // no loop: a stopped job breaks out of one
  for (int r = 0; r < rounds; ++r) script += "; sh -c '\"$0\" Apple Banana Cherry Fruit; echo \"rc=$?\"' \"$0\"; fg";
  o.argv = {"/bin/bash", "-c", script, testsupport::bin_path("pickbox")};
  start(o);
  const auto answered = [&] {
    const std::string& out = term_->tty_output();
    int n = 0;
    for (auto at = out.find("rc=0"); at != std::string::npos; at = out.find("rc=0", at + 1)) ++n;
    return n;
  };
  for (int r = 0; r < rounds; ++r) {
    ASSERT_TRUE(term_->wait_until([&] { return answered() == r && term_->screen().find("Cherry") != std::string::npos; }))
        << "round " << r << "\n" << term_->screen();
    term_->wait_quiet();
    keys("\x1a");
    term_->wait_quiet();
    keys("j\r");
    ASSERT_TRUE(term_->wait_until([&] { return answered() == r + 1; })) << "stopped for good in round " << r << "\n" << term_->screen();
  }
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "Banana", "Fruit"}));
}

// A signal at any moment of the start leaves the terminal as it was and
// ends the program by that signal.
TEST_F(Pickbox, SignalsAtRandomMomentsOfTheStart) {
  EXPECT_EQ(ptyterm::faults_under_random_signals(options(fruit, "Fruit"), 80, 7), "");
}

TEST_F(Pickbox, LongTextsAndManyItems) {
  Strings items = numbered(200);
  items[199] = std::string(150, 'L') + "|" + std::string(149, 'R');
  items[0] = std::string(40, 'F');
  const std::string title(60, 'T');
  start(items, title);
  EXPECT_EQ(term_->text(top_, left_, 24), "- " + std::string(22, 'T'));
  EXPECT_EQ(term_->row_text(top_).size(), static_cast<size_t>(left_ + 24));
  EXPECT_EQ(term_->text(top_ + 1, left_ + 1, 22), std::string(22, 'F'));
  EXPECT_EQ(term_->text(top_ + 1, left_ + 23, 2), "  ");  // edge blank, nothing beyond
  EXPECT_EQ(term_->row_text(top_ + 2).find("item02"), static_cast<size_t>(left_ + 1));
  keys("g");
  Strings shown = items;
  shown[199] = std::string(22, 'L');
  expect_view(shown, 186, 13);
  EXPECT_EQ(term_->row_text(top_ + 14).size(), static_cast<size_t>(left_ + 23));  // ends at column 22
  keys("\r");
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", items[199], title}));
}

TEST_F(Pickbox, NonAsciiTextsByDisplayWidth) {
  const std::string wide = "日本語のテキストを表示します";  // 14 characters, 28 columns
  const Strings items = {"Äpfel", wide, "a" + wide, "tab\there", "new\nline"};
  start(items, "Früchte");
  EXPECT_EQ(term_->text(top_, left_, 11), "- Früchte -");
  EXPECT_EQ(term_->text(top_ + 1, left_ + 1, 22), padded("Äpfel", 22 + 1));  // 'Ä' is two bytes
  EXPECT_EQ(term_->text(top_ + 2, left_ + 1, 22), "日本語のテキストを表示");
  EXPECT_EQ(term_->text(top_ + 3, left_ + 1, 22), "a日本語のテキストを表 ");
  EXPECT_EQ(term_->text(top_ + 4, left_ + 1, 22), padded("tab?here", 22));
  EXPECT_EQ(term_->text(top_ + 5, left_ + 1, 22), padded("new?line", 22));
  for (int r = 1; r <= 5; ++r) {
    EXPECT_EQ(term_->text(top_ + r, left_ + 23, 1), " ") << r;
    EXPECT_TRUE(term_->reverse(top_ + r, left_ + 23)) << r;
  }
  EXPECT_EQ(term_->text(top_ + 6, left_ + 1, 22), std::string(22, ' '));
  keys("jj");
  term_->wait_until([&] { return term_->reverse(top_ + 3, left_ + 1); });
  EXPECT_EQ(term_->cursor_col(), left_ + 22) << term_->screen();
  keys("jjj\r");
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "new\nline", "Früchte"}));
}

TEST_F(Pickbox, TooSmallTerminalEndsAtOnceSayingTheSizes) {
  for (auto [rows, cols] : {std::pair{15, 80}, std::pair{14, 80}, std::pair{24, 23}}) {
    ptyterm::Options o = options(fruit, "Fruit");
    o.rows = rows;
    o.cols = cols;
    term_ = std::make_unique<ptyterm::Terminal>(o);
    expect_exit(1);
    EXPECT_FALSE(handed_off());
    expect_normal_modes();
    EXPECT_NE(term_->tty_output().find("pickbox: terminal too small: needs 16 lines and 24 columns, has " +
                                       std::to_string(rows) + " lines and " + std::to_string(cols) + " columns\r\n"),
              std::string::npos);
  }
  // The smallest that holds it, and the small terminals the others narrow to.
  for (auto [rows, cols] : {std::pair{16, 24}, std::pair{16, 40}, std::pair{20, 60}}) {
    ptyterm::Options o = options(fruit, "Fruit");
    o.rows = rows;
    o.cols = cols;
    start(o);
    expect_view(fruit, 0, 0);
  }
}

TEST_F(Pickbox, EndedInputEndsAtOnce) {
  ptyterm::Options o = options(fruit, "Fruit");
  o.stdin_data = "";
  o.controlling_terminal = false;  // keys then come from standard input
  term_ = std::make_unique<ptyterm::Terminal>(o);
  expect_exit(1);
  EXPECT_FALSE(handed_off());
  expect_normal_modes();
  EXPECT_NE(term_->tty_output().find("pickbox: input ended before a choice was made\r\n"), std::string::npos);

  // Keys that arrive before the end still count.
  o.stdin_data = "jj\r";
  term_ = std::make_unique<ptyterm::Terminal>(o);
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "Cherry", "Fruit"}));
}

// A signal sent to pickbox alone (not from the keyboard: that is
// PickboxRoad.AFullQueueIsNamedWhileTheHandOffWaits) while the hand-off
// waits ends it by that signal, not by a failed delivery, and leaves no
// mqtool behind to post the choice later.
TEST_F(Pickbox, SignalsDuringAHandOffThatWaits) {
  std::ofstream(dir_ + "/mqtool") << "#!/bin/sh\necho $$ > '" << dir_ << "/args'\nexec sleep 20\n";
  for (int sig : {SIGTERM, SIGINT}) {
    std::remove((dir_ + "/args").c_str());
    start(fruit);
    keys("\r");
    ASSERT_TRUE(term_->wait_until([&] { return handed_off().has_value() && !handed_off()->empty(); })) << term_->screen();
    const pid_t stub = static_cast<pid_t>(std::stol(handed_off()->front()));
    term_->signal(sig);
    ASSERT_TRUE(term_->wait_exit(5000)) << term_->screen();
    EXPECT_EQ(term_->term_signal(), sig);
    expect_normal_modes();
    bool gone = false;
    for (int i = 0; i < 20 && !gone; ++i, usleep(50000)) gone = kill(stub, 0) != 0;
    EXPECT_TRUE(gone) << "mqtool " << stub << " outlived pickbox after signal " << sig;
    if (!gone) kill(stub, SIGKILL);
  }
}

// Each way a window ends: its status or signal, a hand-off only for a choice,
// the terminal's modes as they were. Where the drawing would stay on the
// screen (no alternate screen), nothing of it may, nor a word from pickbox.
TEST_F(Pickbox, EachWayOfEndingLeavesNothingDrawn) {
  const std::tuple<const char*, int, int, int> ways[] = {{"\r", 0, 0, 0},      {"q", 0, 255, 0},          {"\x1b", 0, 255, 0},
                                                         {"\x03", 0, -1, SIGINT}, {"", SIGTERM, -1, SIGTERM}, {"", SIGHUP, -1, SIGHUP}};
  for (const char* term : {"linux", "vt100", "ansi"}) {
    for (const auto& [key, sig, status, ended_by] : ways) {
      std::remove((dir_ + "/args").c_str());
      ptyterm::Options o = options(fruit, "Fruit");
      o.term = term;
      start(o);
      keys("j");
      expect_view(fruit, 0, 1);
      if (sig == SIGHUP) {  // placed anew first: the new place is erased
        term_->resize(30, 60);
        place_at(30, 60);
        expect_view(fruit, 0, 1);
      }
      keys(key);
      if (sig != 0) term_->signal(sig);
      SCOPED_TRACE(std::string(term) + " " + key + " " + std::to_string(sig));
      expect_exit(status);
      EXPECT_EQ(term_->term_signal(), ended_by);
      EXPECT_EQ(handed_off().has_value(), status == 0);
      EXPECT_EQ(ptyterm::shown_rows(*term_), "");
      expect_normal_modes();
    }
  }
}

// curses sends only what changed: the row left and the row reached.
TEST_F(Pickbox, DownRewritesOnlyTwoRows) {
  Strings items = numbered(40);
  start(items);
  size_t before = term_->tty_bytes();
  keys("j");
  expect_view(items, 0, 1);
  term_->wait_quiet();
  EXPECT_LE(term_->tty_bytes() - before, 80u) << term_->tty_output().substr(before);  // 39 when measured
}

Strings slice(const Strings& items, std::initializer_list<int> numbers) {
  Strings out;
  for (int k : numbers) out.push_back(items[static_cast<size_t>(k - 1)]);
  return out;
}

// Keys sent with the find line open, then the rows, the highlighted one and
// the find line they must give.
struct FindStep {
  std::string keys;
  Strings rows;
  int j;
  std::string edge;
};

TEST_F(Pickbox, FindNarrowsTheListAndEscBringsItAllBack) {
  const Strings items = numbered(40);
  const Strings ones = slice(items, {1, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 21, 31});
  start(items);
  const FindStep steps[] = {
      {"jjj/", Strings(items.begin(), items.begin() + 14), 3, "/"},
      {"1", ones, 0, "/1"},  // item04 holds no "1": the first match
      {"\x1b[B\x1b[B" "1", slice(items, {11}), 0, "/11"},
      {"\x7f", ones, 2, "/1"},  // item11 matches again and keeps the highlight
      {"\x1b[F", ones, 12, "/1"},
      {"\x1b[H\x1b[6~\x1b[5~\x1b[B", ones, 1, "/1"},
      {"jtgqZ", {}, -1, "/1jtgqZ"},  // letters that move are text; no match shows no row
      {"\x15" "3", slice(items, {3, 13, 23, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39}), 0, "/3"},
  };
  for (const FindStep& step : steps) {
    keys(step.keys);
    SCOPED_TRACE(step.keys);
    expect_find(step.rows, step.j, step.edge);
  }
  // The window placed anew and the too-small note keep the find line; keys still count.
  term_->resize(10, 80);
  ASSERT_TRUE(term_->wait_text("terminal too small")) << term_->screen();
  keys("\x1b[B");
  term_->wait_quiet();
  term_->resize(16, 40);
  place_at(16, 40);
  expect_find(slice(items, {3, 13, 23, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39}), 1, "/3");
  keys("\x1b");
  expect_view(items, 11, 1);  // item13, on the row it stood on
  keys("\x1b");
  expect_exit(255);
  EXPECT_FALSE(handed_off());
}

TEST_F(Pickbox, FindWithWideCharactersAndNothingToChoose) {
  const Strings items = {"日本語", "本", "Apple"};
  start(items);
  keys("/本\x1b[B");
  expect_find(slice(items, {1, 2}), 1, "/本");
  // Longer than the edge: the first characters give way, never half a wide one.
  keys("本本本本本本本本本本x");
  expect_find({}, -1, "本本本本本本本本本本x");
  const size_t before = term_->tty_bytes();
  keys("\r");
  EXPECT_TRUE(term_->wait_until([&] { return term_->tty_output().find('\a', before) != std::string::npos; }))
      << "no beep for Enter with nothing to choose";
  keys(std::string(11, '\x7f') + "\r");
  expect_exit(0);
  EXPECT_EQ(handed_off(), (Strings{"-s", "30001", "本", "Title"}));
}

// The whole road: a choice made in the window is what a receiver takes off
// the queue, byte for byte, and nothing else is posted.
class PickboxRoad : public ::testing::Test {
 protected:
  void TearDown() override { testsupport::remove_queue(key_); }
  // Chooses item `index` of items and returns every text on the queue after.
  Strings choose(const Strings& items, const std::string& title, int index) {
    return choose(items, title, std::string(static_cast<size_t>(index), 'j') + "\r");
  }
  // pickbox on the real mqtool and the test's queue.
  ptyterm::Options options(Strings args) const {
    ptyterm::Options o = ptyterm::program_options(testsupport::bin_path("pickbox"), args);
    o.env["PATH"] = testsupport::bin_dir() + ":" + std::getenv("PATH");
    o.env["JUX_QUEID"] = std::to_string(key_);
    return o;
  }
  Strings choose(Strings items, const std::string& title, const std::string& keys) {
    items.push_back(title);
    ptyterm::Terminal t(options(items));
    EXPECT_TRUE(t.wait_until([&] { return t.cursor_row() > 0 && t.tty_bytes() > 0; })) << t.screen();
    t.wait_quiet();
    t.send(keys);
    EXPECT_TRUE(t.wait_exit(5000)) << t.screen();
    EXPECT_EQ(t.exit_code(), 0) << t.screen();
    EXPECT_EQ(t.tty_output().find("sage:"), std::string::npos) << t.tty_output();
    Strings got;
    long type = 0;
    while (auto text = testsupport::raw_take(msgget(key_, 0), 0, &type)) {
      EXPECT_EQ(type, 96);
      got.push_back(*text);
    }
    return got;
  }
  const key_t key_ = test_key(1);
};

TEST_F(PickboxRoad, FoundItemArrivesThroughTheQueue) {
  // An Enter with no match chooses nothing; the match moved to is what arrives.
  EXPECT_EQ(choose({"Green apple", "Banana", "apricot", "Grape"}, "Fruit", "/zz\r\x15" "AP\x1b[B\r"),
            (Strings{"apricot"}));
}

TEST_F(PickboxRoad, AnyTextArrivesWhole) {
  // Options, blanks, quotes, a glob, a backslash and shell syntax: a shell
  // anywhere on the way would change them.
  const Strings texts = {"-x", "--verbose", "-s", "-r", "-", "--", "a b  c", "'\"`", "*", "\\n", "$(id);ls", "new\nline",
                         std::string(1024, 'k')};
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(choose(texts, "Pick", static_cast<int>(i)), (Strings{texts[i]})) << i;
    EXPECT_EQ(choose({texts[i]}, texts[i], 0), (Strings{texts[i]})) << "as title too: " << i;
  }
}

}  // namespace

// A hand-off that waits for room says so while it waits; Ctrl-C still gives up.
TEST_F(PickboxRoad, AFullQueueIsNamedWhileTheHandOffWaits) {
  const int id = testsupport::small_queue(key_, 16);
  ASSERT_GE(id, 0);
  ASSERT_EQ(testsupport::raw_send(id, "filler-filler-fi", 96, IPC_NOWAIT), 0);
  ptyterm::Terminal t(options({"Apple", "Fruit"}));
  ASSERT_TRUE(t.wait_text("Apple")) << t.screen();
  t.send("\r");
  const std::string line =
      "pickbox: queue " + std::to_string(key_) + " is full; waiting for room (Ctrl-C gives up)\r\n";
  ASSERT_TRUE(t.wait_until([&] { return t.tty_output().find(line) != std::string::npos; })) << t.tty_output();
  EXPECT_FALSE(t.exited());
  t.send("\x03");
  ASSERT_TRUE(t.wait_exit(5000)) << t.screen();
  EXPECT_EQ(t.term_signal(), SIGINT);
  EXPECT_EQ(ptyterm::mode_faults(t.modes()), "");
  EXPECT_FALSE(t.alt_screen());
  EXPECT_EQ(testsupport::queued(key_), 1) << "only the filler is queued";
}
