// notebox in a real terminal: the box as it stays on the screen after the
// program has gone, and where the cursor is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "places.h"
#include "proc.h"
#include "pty_term.h"
#include "windows.h"

namespace {

using ptyterm::Options;
using ptyterm::Terminal;

constexpr int kLeft = testsupport::notebox_place(24).left;
constexpr int kWidth = testsupport::notebox_place(24).cols;
const std::string kDefault = "ダイアログメッセージです";

Options notebox(const std::vector<std::string>& args, int rows = 24, int cols = 80) {
  return ptyterm::program_options(testsupport::bin_path("notebox"), args, rows, cols);
}

int top_of(const Terminal& t) { return testsupport::notebox_place(t.rows()).top; }

// Row 4 of the box from column 4, up to the frame.
std::string message_row(const Terminal& t) { return t.text(top_of(t) + 4, kLeft + 4, 43); }

using ptyterm::padded;

// The whole box showing message on its fifth row, a line a row,
// bottom_right standing at its last corner.
std::string box_picture(const std::string& message, const std::string& bottom_right = "+") {
  std::string box = testsupport::notebox_picture(kWidth, {message, "", ""});
  return box.replace(box.size() - 2, 1, bottom_right);
}

// Row r of that box.
std::string box_row(int r, const std::string& message) { return box_picture(message).substr(r * 49, 48); }

TEST(NoteboxMessage, DefaultMessageForAnyOtherArgumentCount) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"first", "second"}, {"a", "b", "c"}}) {
    Terminal t(notebox(args));
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.exit_code(), 0);
    // More than one argument is said, on the line below the box.
    const std::string warning = args.empty() ? "" : "notebox: the message must be one argument, got " +
                                                        std::to_string(args.size()) + "; showing the default message";
    EXPECT_EQ(t.row_text(top_of(t) + 8), warning) << t.screen();
    EXPECT_EQ(message_row(t), kDefault + std::string(43 - 24, ' ')) << t.screen();
    EXPECT_EQ(t.screen().find("first"), std::string::npos) << t.screen();
    // Twelve characters of two columns each.
    const int row = top_of(t) + 4;
    for (int i = 0; i < 12; ++i) {
      EXPECT_EQ(t.cell(row, kLeft + 4 + 2 * i).width, 2) << "character " << i;
    }
    EXPECT_EQ(t.cell(row, kLeft + 4 + 24).text, " ");
    EXPECT_EQ(t.cell(row, kLeft + kWidth - 1).text, "|");
  }
}

std::size_t count(const std::string& s, const std::string& unit) {
  std::size_t n = 0;
  for (std::size_t at = s.find(unit); at != std::string::npos; at = s.find(unit, at + unit.size())) ++n;
  return n;
}

TEST(NoteboxLocale, DefaultMessageInTheLocalesCharacterSet) {
  const std::string ascii = "daiarogu messeeji desu";
  const std::string unreadable = "notebox: the C library cannot convert the locale's character set NOMODULE";
  struct Case {
    const char* locale;
    std::string bytes;  // as the terminal receives them
    std::string note;   // on standard error, below the box
  };
  for (const Case& c : std::vector<Case>{
           {"ja_JP.eucJP", "\xa5\xc0\xa5\xa4\xa5\xa2\xa5\xed\xa5\xb0\xa5\xe1\xa5\xc3\xa5\xbb\xa1\xbc\xa5\xb8\xa4\xc7\xa4\xb9", ""},
           {"ja_JP.SJIS", "\x83\x5f\x83\x43\x83\x41\x83\x8d\x83\x4f\x83\x81\x83\x62\x83\x5a\x81\x5b\x83\x57\x82\xc5\x82\xb7", ""},
           {"en_US.ISO-8859-1", ascii, ""},
           {"C", ascii, ""},
           {"C.UTF-8", kDefault, ""},
           {"ja_JP.nomodule", ascii, unreadable},
       }) {
    Terminal t(testsupport::in_locale(notebox({}), c.locale));
    ASSERT_TRUE(t.wait_exit()) << c.locale;
    EXPECT_EQ(t.exit_code(), 0) << c.locale;
    EXPECT_EQ(count(t.tty_output(), c.bytes), 1u) << c.locale;
    EXPECT_EQ(t.row_text(top_of(t) + 8).substr(0, unreadable.size()), c.note) << c.locale << "\n" << t.screen();
  }
}

TEST(NoteboxLocale, LongMessageIsCutBetweenTwoByteCharacters) {
  // 40 characters of 2 bytes: the 79-byte limit falls inside the last. A
  // character cut in half would show as '?'.
  for (const auto& [locale, unit] : {std::pair{"ja_JP.eucJP", "\xa4\xa2"}, std::pair{"ja_JP.SJIS", "\x83\x5c"}}) {
    std::string message;
    for (int i = 0; i < 40; ++i) message += unit;
    Terminal t(testsupport::in_locale(notebox({message}), locale));
    ASSERT_TRUE(t.wait_exit()) << locale;
    EXPECT_EQ(count(t.tty_output(), unit), 39u) << locale;
    EXPECT_EQ(t.tty_output().find('?'), std::string::npos) << locale;
  }
}

// Also where standard output is captured: it stays empty.
TEST(NoteboxMessage, EmptyArgumentShowsAnEmptyRow) {
  Options o = notebox({""});
  o.stdout_to_pipe = true;
  Terminal t(o);
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  EXPECT_EQ(t.exit_code(), 0);
  EXPECT_EQ(t.captured_stdout(), "");
  EXPECT_EQ(t.text(top_of(t) + 4, kLeft, kWidth), box_row(4, "")) << t.screen();
  EXPECT_FALSE(t.alt_screen());
}

TEST(NoteboxMessage, LongMessageIsCutOnACharacterBoundary) {
  // 81 bytes: the 79-byte limit falls inside the last é.
  std::string message = "a";
  for (int i = 0; i < 40; ++i) message += "é";
  Terminal t(notebox({message}));
  ASSERT_TRUE(t.wait_exit()) << t.screen();
  std::string shown = "a";
  for (int i = 0; i < 39; ++i) shown += "é";
  EXPECT_EQ(message_row(t), padded(shown, 43 - 40 + shown.size())) << t.screen();

  // Far longer than the box: what is kept goes on at column 4 of rows 5 and
  // 6 and the rest is cut, so the frame stays whole.
  Terminal l(notebox({std::string(5000, 'x')}));
  ASSERT_TRUE(l.wait_exit()) << l.screen();
  const int top = top_of(l);
  EXPECT_EQ(l.text(top + 4, kLeft, kWidth), "|   " + std::string(43, 'x') + "|") << l.screen();
  EXPECT_EQ(l.text(top + 5, kLeft, kWidth), "|   " + padded(std::string(79 - 43, 'x'), 43) + "|") << l.screen();
  EXPECT_EQ(l.picture(top + 6, kLeft, 2, kWidth), box_row(6, "") + "\n" + box_row(7, "") + "\n") << l.screen();
}

TEST(NoteboxMessage, NothingInAMessageBreaksTheFrame) {
  // Wide characters from every column near the frame: one never straddles it.
  for (int lead = 0; lead < 4; ++lead) {
    std::string message(lead, '.');
    for (int i = 0; i < 30; ++i) message += "日";  // 3 bytes each: cut at 79 bytes
    Terminal t(notebox({message}));
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    const int top = top_of(t);
    for (int r = 1; r <= 6; ++r) {
      EXPECT_EQ(t.cell(top + r, kLeft + kWidth - 1).text, "|") << lead << "\n" << t.screen();
      EXPECT_EQ(t.cell(top + r, kLeft).text, "|") << lead << "\n" << t.screen();
    }
    const std::string row4 = t.text(top + 4, kLeft + 4, 43);
    EXPECT_EQ(row4.substr(0, lead), std::string(lead, '.')) << t.screen();
    EXPECT_EQ(t.text(top + 5, kLeft + 4, 2), "日") << t.screen();
  }
  // Controls and escapes show as one mark each and never reach the terminal.
  Terminal c(notebox({"a\nb\tc\x1b[31md\x07"}));
  ASSERT_TRUE(c.wait_exit()) << c.screen();
  EXPECT_EQ(message_row(c), padded("a?b?c?[31md?", 43)) << c.screen();
  EXPECT_EQ(c.tty_output().find("\x1b[31m"), std::string::npos);
  EXPECT_EQ(c.tty_output().find('\x07'), std::string::npos);
}

// A box whose corner is the screen's last cell, on terminals that wrap at
// once (no deferred wrap: writing that cell would scroll at once, and the
// box would stand a line too high) and on ones that defer the wrap.
TEST(NoteboxScreen, LastCellIsWrittenOnlyWhereItCannotScroll) {
  const std::pair<const char*, std::string> rows[] = {{"ansi", " "}, {"xterm-256color", "+"}};
  for (const auto& [term, corner] : rows) {
    Options o = notebox({"hello"}, 15, 64);
    o.term = term;
    Terminal t(o);
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    // The one scroll is the line made below the box.
    EXPECT_EQ(t.picture(6, kLeft, 8, kWidth), box_picture("hello", corner))
        << term << "\n" << t.screen();
  }
}

// The box at sizes its place rules tell apart (usual place, moved up, moved
// left, narrowed): whole screens from the tests' own model, the message
// shown literally and going on in the box's next rows, the title alone in
// reverse video, the cursor below the box, the modes as they were. A box on
// the last line scrolls the screen a line, for the cursor to stand below it.
TEST(NoteboxScreen, WholeScreenAtEachSize) {
  const std::string message = "100% done, %s %d %n: 42 files copied, 3 skipped, none lost at all";
  for (auto [rows, cols] : {std::pair{24, 80}, std::pair{40, 120}, std::pair{16, 40}, std::pair{20, 60},
                            std::pair{14, 80}, std::pair{9, 50}}) {
    Terminal t(notebox({message}, rows, cols));
    ASSERT_TRUE(t.wait_exit()) << t.screen();
    EXPECT_EQ(t.exit_code(), 0);
    EXPECT_FALSE(t.alt_screen());
    testsupport::Place at = testsupport::notebox_place(rows, cols);
    const std::size_t width = static_cast<std::size_t>(at.cols - 5);
    std::string lines[3];
    for (std::size_t i = 0; i < 3 && i * width < message.size(); ++i) lines[i] = message.substr(i * width, width);
    if (at.top + at.rows == rows) --at.top;
    EXPECT_EQ(t.picture(0, 0, rows, cols),
              testsupport::on_screen(rows, cols, at, testsupport::notebox_picture(at.cols, lines)))
        << rows << "x" << cols << "\n" << t.screen();
    std::string video = "." + std::string(at.cols - 2, '#') + ".\n";
    for (int r = 1; r < 8; ++r) video += std::string(at.cols, '.') + "\n";
    EXPECT_EQ(t.video(0, 0, rows, cols), testsupport::on_screen(rows, cols, at, video, '.'));
    EXPECT_EQ(t.cursor_row(), std::min(at.top + 8, rows - 1));
    EXPECT_EQ(t.cursor_col(), 0);
    EXPECT_EQ(ptyterm::mode_faults(t.modes()), "");
  }
}

TEST(NoteboxScreen, NoUsableTerminalIsNoFailureButSaysWhy) {
  const auto r = testsupport::run_process({testsupport::bin_path("notebox"), "hello"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "notebox: no terminal to draw on (standard output is not one, and there is no /dev/tty)\n");

  // Standard error is the terminal here: the reason is all it gets, also
  // where the terminal is too small for the box.
  for (const auto& [rows, cols] : {std::pair{7, 80}, std::pair{24, 39}}) {
    Options o = notebox({"hello"}, rows, cols);
    o.stdout_to_pipe = true;
    testsupport::expect_no_drawing({o, 0, "notebox: " + testsupport::note_too_small(rows, cols) + "\r\n", ""});
  }
  for (const auto& c : ptyterm::unusable_terminals()) {
    Options o = notebox({"hello"});
    o.stdout_to_pipe = true;
    ptyterm::set_term(o, c.term);
    testsupport::expect_no_drawing({o, 0, "notebox: " + c.why + "\r\n", ""});
  }
}

}  // namespace
