// askbox's line editor without a terminal: each key, the limit, decoding in
// UTF-8 and single-byte locales, sideways scrolling, and random walks against
// a plain model of the line.
#include "lineedit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

using askbox::EditKey;
using askbox::EditSettings;
using askbox::LineEditor;
using askbox::Outcome;

class InLocale : public ::testing::Test {
 protected:
  void use(const char* name) {
    saved_ = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << name;
  }
  void TearDown() override {
    if (!saved_.empty()) std::setlocale(LC_ALL, saved_.c_str());
  }

 private:
  std::string saved_;
};

class Utf8 : public InLocale {
 protected:
  void SetUp() override { use("C.UTF-8"); }
};

class SingleByte : public InLocale {
 protected:
  void SetUp() override {
    use("C");
    ASSERT_EQ(MB_CUR_MAX, 1u);
  }
};

using LineEditKeys = Utf8;
using LineEditUtf8 = Utf8;
using LineEditSingleByte = SingleByte;
using LineEditLimit = Utf8;
using LineEditScroll = Utf8;
using LineEditWalkUtf8 = Utf8;
using LineEditWalkSingleByte = SingleByte;

Outcome type(LineEditor& e, std::string_view bytes) {
  Outcome last = Outcome::Continue;
  for (char c : bytes) last = e.byte(static_cast<unsigned char>(c));
  return last;
}

LineEditor typed(std::string_view bytes, EditSettings s = {}) {
  LineEditor e(s);
  type(e, bytes);
  return e;
}

void press(LineEditor& e, EditKey k, int times = 1) {
  for (int i = 0; i < times; ++i) EXPECT_EQ(e.key(k), Outcome::Continue);
}

std::string repeat(std::string_view s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

const std::string kWide = "\xe6\x97\xa5";  // U+65E5, two columns

// --- keys ----------------------------------------------------------------

TEST_F(LineEditKeys, MoveByCharacterAndToTheEnds) {
  LineEditor e = typed("a" + kWide + "\xc3\xa9\xf0\x9f\x98\x80" "b");  // a 日 é 😀 b
  EXPECT_EQ(e.size(), 5u);
  EXPECT_EQ(e.cursor(), 5u);
  press(e, EditKey::Right);  // at the end: stays
  EXPECT_EQ(e.cursor(), 5u);
  press(e, EditKey::Left, 4);
  type(e, "X");
  EXPECT_EQ(e.answer(), "aX" + kWide + "\xc3\xa9\xf0\x9f\x98\x80" "b");
  press(e, EditKey::Home);
  press(e, EditKey::Left);  // at the start: stays
  type(e, "<");
  press(e, EditKey::End);
  type(e, ">");
  type(e, "\x01" "1" "\x05" "2");  // Ctrl-A, Ctrl-E
  EXPECT_EQ(e.answer(), "1<aX" + kWide + "\xc3\xa9\xf0\x9f\x98\x80" "b>2");
  press(e, EditKey::Home);
  press(e, EditKey::Right, 4);
  EXPECT_EQ(e.cursor(), 4u);
  type(e, "_");
  EXPECT_EQ(e.answer(), "1<aX_" + kWide + "\xc3\xa9\xf0\x9f\x98\x80" "b>2");
}

TEST_F(LineEditKeys, DeleteBeforeAndUnderTheCursor) {
  LineEditor e = typed("abc" + kWide + "de");
  EXPECT_EQ(type(e, "\x08"), Outcome::Continue);  // ^H
  EXPECT_EQ(e.answer(), "abc" + kWide + "d");
  type(e, "\x7f\x7f");  // DEL takes the wide character whole
  EXPECT_EQ(e.answer(), "abc");
  press(e, EditKey::Delete);  // nothing under the cursor at the end
  EXPECT_EQ(e.answer(), "abc");
  press(e, EditKey::Left, 2);
  press(e, EditKey::Delete);
  EXPECT_EQ(e.answer(), "ac");
  EXPECT_EQ(e.cursor(), 1u);
  press(e, EditKey::Home);
  type(e, "\x7f\x08");  // nothing before the cursor at the start
  EXPECT_EQ(e.answer(), "ac");
  EXPECT_EQ(e.cursor(), 0u);
}

TEST_F(LineEditKeys, CtrlDEndsAnEmptyLineOnlyAndDeletesElsewhere) {
  LineEditor e;
  EXPECT_EQ(type(e, "\x04"), Outcome::EndOfInput);
  type(e, "ab");
  EXPECT_EQ(type(e, "\x04"), Outcome::Continue);  // at the end of a non-empty line: nothing
  EXPECT_EQ(e.answer(), "ab");
  press(e, EditKey::Home);
  EXPECT_EQ(type(e, "\x04"), Outcome::Continue);
  EXPECT_EQ(e.answer(), "b");
  type(e, "\x04");
  EXPECT_EQ(e.answer(), "");
  EXPECT_EQ(type(e, "\x04"), Outcome::EndOfInput);  // emptied by editing counts as empty
}

TEST_F(LineEditKeys, KillToEitherEndAndWordBefore) {
  LineEditor e = typed("hello brave world");
  press(e, EditKey::Left, 5);
  type(e, "\x15");  // Ctrl-U
  EXPECT_EQ(e.answer(), "world");
  EXPECT_EQ(e.cursor(), 0u);
  press(e, EditKey::Right, 2);
  type(e, "\x0b");  // Ctrl-K
  EXPECT_EQ(e.answer(), "wo");

  e = typed("one two  ");
  type(e, "\x17");  // Ctrl-W: the blanks, then the word
  EXPECT_EQ(e.answer(), "one ");
  type(e, "\x17");
  EXPECT_EQ(e.answer(), "");
  type(e, "\x17");
  EXPECT_EQ(e.answer(), "");

  e = typed("hello world");
  press(e, EditKey::Left, 2);
  type(e, "\x17");  // within a word: only its part before the cursor
  EXPECT_EQ(e.answer(), "hello ld");
  EXPECT_EQ(e.cursor(), 6u);

  e = typed(kWide + kWide + " " + kWide + "\xc3\xa9");
  type(e, "\x17");
  EXPECT_EQ(e.answer(), kWide + kWide + " ");
}

TEST_F(LineEditKeys, LineEndsInterruptAndCancel) {
  LineEditor e = typed("ab");
  EXPECT_EQ(type(e, "\r"), Outcome::Enter);
  EXPECT_EQ(type(e, "\n"), Outcome::Enter);
  EXPECT_EQ(type(e, "\x03"), Outcome::Interrupt);
  EXPECT_EQ(e.cancel(), Outcome::Cancel);
  EXPECT_EQ(e.answer(), "ab");
}

TEST_F(LineEditKeys, OtherControlBytesAndEscAreDropped) {
  const std::string bound = "\x01\x03\x04\x05\x08\x0a\x0b\x0d\x15\x17";
  for (int b = 0; b < 0x20; ++b) {
    if (bound.find(static_cast<char>(b)) != std::string::npos) continue;
    LineEditor e = typed("ab");
    press(e, EditKey::Left);
    EXPECT_EQ(e.byte(static_cast<unsigned char>(b)), Outcome::Continue) << b;
    EXPECT_EQ(e.answer(), "ab") << b;
    EXPECT_EQ(e.cursor(), 1u) << b;
  }
  // What follows a stray Esc is ordinary text: the caller owns escape sequences.
  EXPECT_EQ(typed("\x1b[A").answer(), "[A");
}

TEST_F(LineEditKeys, TerminalEraseAndKillCharacters) {
  EditSettings s;
  s.erase = 0x18;  // Ctrl-X
  s.kill = 0x02;   // Ctrl-B
  LineEditor e = typed("abc\x18", s);
  EXPECT_EQ(e.answer(), "ab");
  type(e, "\x7f\x08");  // the usual bytes still erase
  EXPECT_EQ(e.answer(), "");
  type(e, "xyz");
  press(e, EditKey::Left);
  type(e, "\x02");
  EXPECT_EQ(e.answer(), "z");
  type(e, "q\x15");  // and Ctrl-U still kills
  EXPECT_EQ(e.answer(), "z");

  // A printable erase character erases, as the terminal's own editing would.
  s = {};
  s.erase = '#';
  EXPECT_EQ(typed("ab#c", s).answer(), "ac");

  // 0 is the disabled value; a byte past ASCII would eat characters.
  s = {};
  s.erase = 0;
  s.kill = 0xC3;
  e = typed("ab", s);
  type(e, std::string(1, '\0'));
  type(e, "\xc3\xa9");
  EXPECT_EQ(e.answer(), "ab\xc3\xa9");
}

// --- decoding ------------------------------------------------------------

TEST_F(LineEditUtf8, BrokenSequencesDroppedWholeAndTheNextByteTakenFresh) {
  EXPECT_EQ(typed("ab\xff" "cd").answer(), "abcd");
  EXPECT_EQ(typed("\xc3" "a").answer(), "a");
  EXPECT_EQ(typed("\xe6\x97" "x").answer(), "x");
  EXPECT_EQ(typed("\xe6\x97\xe6\x97\xa5").answer(), kWide);  // a new lead starts afresh
  EXPECT_EQ(typed("\x80\xbf" "a\xa9").answer(), "a");       // stray continuation bytes
  EXPECT_EQ(typed("\xc0\xaf\xe0\x80\xaf").answer(), "");     // overlong forms
  EXPECT_EQ(typed("\xed\xa0\x80" "\xf4\x90\x80\x80" "\xf8\x88\x80\x80\x80").answer(), "");  // surrogate, past U+10FFFF, 5 bytes

  LineEditor e;
  EXPECT_EQ(type(e, "\xc3\n"), Outcome::Enter);
  EXPECT_EQ(e.answer(), "");
  // A key in the middle of a character cuts it.
  e = typed("a\xe6\x97");
  press(e, EditKey::Left);
  type(e, "\xa5");
  EXPECT_EQ(e.answer(), "a");
  e = typed("a\xe6\x7f\x97\xa5");
  EXPECT_EQ(e.answer(), "");
  e = typed("\xe6");
  EXPECT_EQ(e.cancel(), Outcome::Cancel);
  type(e, "\x97\xa5");
  EXPECT_EQ(e.answer(), "");
}

TEST_F(LineEditUtf8, OnlyPrintableCharactersThatTakeColumns) {
  // U+0085 (a control), U+200B and U+FEFF (no width), a combining acute.
  LineEditor e = typed("\xc2\x85" "\xe2\x80\x8b" "\xef\xbb\xbf" "e\xcc\x81");
  EXPECT_EQ(e.answer(), "e");
  EXPECT_EQ(e.size(), 1u);
  // A no-break space and an ideographic space are text.
  e = typed("\xc2\xa0\xe3\x80\x80");
  EXPECT_EQ(e.size(), 2u);
  EXPECT_EQ(e.view().width, 3);
}

TEST_F(LineEditUtf8, EachCharacterCountsOnceWhateverItsBytesAndColumns) {
  const LineEditor e = typed(kWide + "\xf0\x9f\x98\x80\xc3\xa9");
  EXPECT_EQ(e.size(), 3u);
  EXPECT_EQ(e.answer().size(), 9u);
  const LineEditor::View v = e.view();
  EXPECT_EQ(v.text, e.answer());
  EXPECT_EQ(v.width, 5);
  EXPECT_EQ(v.cursor_col, 5);
}

TEST_F(LineEditSingleByte, HighBytesKeptAsTypedShownAsQuestionMarks) {
  LineEditor e = typed("a\xe9\xc3\xa9\x9b\xff");
  EXPECT_EQ(e.answer(), "a\xe9\xc3\xa9\x9b\xff");
  EXPECT_EQ(e.size(), 6u);
  LineEditor::View v = e.view();
  EXPECT_EQ(v.text, "a?????");
  EXPECT_EQ(v.width, 6);
  EXPECT_EQ(v.cursor_col, 6);
  type(e, "\x7f\x7f");  // one byte is one character here
  EXPECT_EQ(e.answer(), "a\xe9\xc3\xa9");
  EXPECT_EQ(typed("x\x1b\x01y\x0b").answer(), "y");
}

// --- the limit -----------------------------------------------------------

TEST_F(LineEditLimit, TwoHundredFiftySixCharactersThenRefused) {
  LineEditor e;
  for (int i = 0; i < 256; ++i) ASSERT_EQ(e.byte('a'), Outcome::Continue) << i;
  EXPECT_EQ(e.byte('b'), Outcome::Refused);
  press(e, EditKey::Home);
  EXPECT_EQ(e.byte('b'), Outcome::Refused);
  EXPECT_EQ(e.answer(), std::string(256, 'a'));
  EXPECT_EQ(e.cursor(), 0u);
  type(e, "\x04");
  EXPECT_EQ(e.byte('b'), Outcome::Continue);
  EXPECT_EQ(e.answer(), "b" + std::string(255, 'a'));

  // Wide characters: refused once whole, never half kept.
  e = LineEditor();
  EXPECT_EQ(type(e, repeat(kWide, 256)), Outcome::Continue);
  EXPECT_EQ(e.byte(0xe6), Outcome::Continue);
  EXPECT_EQ(e.byte(0x97), Outcome::Continue);
  EXPECT_EQ(e.byte(0xa5), Outcome::Refused);
  EXPECT_EQ(type(e, "\xf0\x9f\x98\x80"), Outcome::Refused);
  EXPECT_EQ(e.byte('z'), Outcome::Refused);
  EXPECT_EQ(e.size(), 256u);
  EXPECT_EQ(e.answer(), repeat(kWide, 256));
  // Bytes that make no character are dropped, not refused.
  EXPECT_EQ(type(e, "\xff\xcc\x81"), Outcome::Continue);

  EditSettings s;
  s.max_chars = 3;
  e = LineEditor(s);
  EXPECT_EQ(type(e, "abcd"), Outcome::Refused);
  EXPECT_EQ(e.answer(), "abc");
}

TEST_F(LineEditSingleByte, LimitCountsBytes) {
  LineEditor e;
  EXPECT_EQ(type(e, std::string(256, '\xe9')), Outcome::Continue);
  EXPECT_EQ(e.byte(0xe9), Outcome::Refused);
  EXPECT_EQ(e.answer(), std::string(256, '\xe9'));
}

// --- scrolling -----------------------------------------------------------

struct Shown {
  std::size_t first;
  std::string text;
  int width;
  int cursor_col;
};

Shown shown(const LineEditor& e) {
  const LineEditor::View v = e.view();
  return {e.first_shown(), v.text, v.width, v.cursor_col};
}

void expect_shown(const LineEditor& e, std::size_t first, const std::string& text, int cursor_col) {
  const Shown s = shown(e);
  EXPECT_EQ(s.first, first);
  EXPECT_EQ(s.text, text);
  EXPECT_EQ(s.cursor_col, cursor_col);
}

TEST_F(LineEditScroll, AsciiLineLongerThanTheField) {
  LineEditor e = typed(std::string(58, 'a'));
  expect_shown(e, 0, std::string(58, 'a'), 58);  // the cursor takes the last column
  type(e, "b");
  expect_shown(e, 1, std::string(57, 'a') + "b", 58);
  EXPECT_EQ(e.view().width, 58);
  type(e, std::string(41, 'c'));  // 100 characters
  expect_shown(e, 42, std::string(16, 'a') + "b" + std::string(41, 'c'), 58);
  press(e, EditKey::Left, 58);
  expect_shown(e, 42, std::string(16, 'a') + "b" + std::string(41, 'c'), 0);
  press(e, EditKey::Left);
  EXPECT_EQ(e.first_shown(), 41u);  // one step left, one column over
  press(e, EditKey::Home);
  expect_shown(e, 0, std::string(58, 'a') + "b", 0);
  press(e, EditKey::Right, 58);
  expect_shown(e, 0, std::string(58, 'a') + "b", 58);
  press(e, EditKey::Right);
  expect_shown(e, 1, std::string(57, 'a') + "b" + "c", 58);
}

TEST_F(LineEditScroll, WideCharacterNeverCutAtTheRightEdge) {
  LineEditor e = typed(std::string(57, 'a') + kWide);  // fills the field, no room left for the cursor
  expect_shown(e, 1, std::string(56, 'a') + kWide, 58);
  press(e, EditKey::Home);
  expect_shown(e, 0, std::string(57, 'a') + kWide, 0);

  e = typed(std::string(58, 'a') + kWide + "b");
  press(e, EditKey::Home);
  expect_shown(e, 0, std::string(58, 'a'), 0);  // the wide character does not fit whole
  press(e, EditKey::Right, 58);                  // onto it: it comes in whole
  expect_shown(e, 1, std::string(57, 'a') + kWide, 57);
  press(e, EditKey::End);
  expect_shown(e, 3, std::string(55, 'a') + kWide + "b", 58);
}

TEST_F(LineEditScroll, WideCharactersAtEveryColumnNearTheEnd) {
  // Wide characters typed after n narrow ones, so their left halves fall on
  // every column around the field's end; then walked back to the start.
  for (int n = 48; n <= 62; ++n) {
    SCOPED_TRACE("n=" + std::to_string(n));
    LineEditor e = typed(std::string(static_cast<std::size_t>(n), 'a'));
    for (int k = 1; k <= 8; ++k) {
      type(e, kWide);
      const Shown s = shown(e);
      const int cols = n + 2 * k;  // the whole line
      const int hidden = cols + 1 - 59;
      // Scrolled by the fewest characters that free the cursor's column.
      std::size_t first = 0;
      if (hidden > 0) first = hidden <= n ? static_cast<std::size_t>(hidden) : static_cast<std::size_t>(n + (hidden - n + 1) / 2);
      EXPECT_EQ(s.first, first) << k;
      EXPECT_EQ(s.cursor_col, s.width) << k;
      EXPECT_EQ(s.width, hidden > 0 ? 58 - (hidden > n && (hidden - n) % 2 == 1 ? 1 : 0) : cols) << k;
    }
    for (std::size_t i = e.size(); i-- > 0;) {
      press(e, EditKey::Left);
      const Shown s = shown(e);
      ASSERT_LE(s.first, i);
      EXPECT_LE(s.cursor_col + (i < static_cast<std::size_t>(n) ? 1 : 2), 59) << i;
      EXPECT_LE(s.width, 59) << i;
      EXPECT_GE(s.width, 57) << i;  // the field full but for the cursor's column or half a wide character
    }
    EXPECT_EQ(e.first_shown(), 0u);
  }
}

TEST_F(LineEditScroll, WideOnlyLine) {
  LineEditor e = typed(repeat(kWide, 40));
  expect_shown(e, 11, repeat(kWide, 29), 58);
  press(e, EditKey::Home);
  expect_shown(e, 0, repeat(kWide, 29), 0);
  press(e, EditKey::Right, 28);
  expect_shown(e, 0, repeat(kWide, 29), 56);
  press(e, EditKey::Right);  // the 30th would need columns 58 and 59
  expect_shown(e, 1, repeat(kWide, 29), 56);
}

TEST_F(LineEditScroll, DeletionsPullTheViewBackToFillTheField) {
  LineEditor e = typed(std::string(100, 'a'));
  press(e, EditKey::Left, 10);
  EXPECT_EQ(e.first_shown(), 42u);
  type(e, "\x0b");  // Ctrl-K: 90 left, all of the field used again
  expect_shown(e, 32, std::string(58, 'a'), 58);
  type(e, "\x7f");
  expect_shown(e, 31, std::string(58, 'a'), 58);
  type(e, "\x01\x0b");
  expect_shown(e, 0, "", 0);

  // A wide character at the left edge comes back only once it fits whole.
  e = typed(kWide + std::string(57, 'a'));
  expect_shown(e, 1, std::string(57, 'a'), 57);
  type(e, "\x7f");
  expect_shown(e, 0, kWide + std::string(56, 'a'), 58);
}

TEST_F(LineEditScroll, NarrowestFieldStillShowsTheCursor) {
  for (int columns : {-5, 0, 1, 2}) {
    EditSettings s;
    s.field_columns = columns;  // taken as 2
    LineEditor e = typed(kWide + kWide, s);
    expect_shown(e, 2, "", 0);
    press(e, EditKey::Left);
    expect_shown(e, 1, kWide, 0);
    type(e, "x");  // before the wide character, which the cursor stands on
    expect_shown(e, 2, kWide, 0);
  }
}

// --- random walks ----------------------------------------------------------

// The line as the issue words it: the characters typed, minus what was
// deleted, with its own strict UTF-8 reading rather than the C library's.
struct ModelChar {
  std::string bytes;
  int width;
  bool odd;  // shown as '?'
};

class Model {
 public:
  Model(EditSettings s, bool utf8) : s_(s), utf8_(utf8) {}

  std::vector<ModelChar> chars;
  std::size_t cursor = 0;

  std::string answer() const {
    std::string out;
    for (const ModelChar& c : chars) out += c.bytes;
    return out;
  }

  Outcome byte(unsigned char b) {
    const bool erase = b == s_.erase && b > 0 && b < 0x80;
    const bool kill = b == s_.kill && b > 0 && b < 0x80;
    if (!erase && !kill && b >= 0x20 && b != 0x7f) return text(b);
    pending_.clear();
    if (erase || b == 8 || b == 0x7f) {
      if (cursor > 0) cut(cursor - 1, cursor);
    } else if (kill || b == 21) {
      cut(0, cursor);
    } else if (b == 11) {
      cut(cursor, chars.size());
    } else if (b == 23) {
      // Keep the text before the cursor up to the blank that precedes its
      // last word; no character but the blank holds a blank byte.
      std::string before;
      for (std::size_t i = 0; i < cursor; ++i) before += chars[i].bytes;
      const std::size_t word_end = before.find_last_not_of(' ');
      const std::size_t blank = word_end == std::string::npos ? std::string::npos : before.find_last_of(' ', word_end);
      const std::size_t keep = blank == std::string::npos ? 0 : blank + 1;
      std::size_t from = 0;
      for (std::size_t bytes = 0; bytes < keep; ++from) bytes += chars[from].bytes.size();
      cut(from, cursor);
    } else if (b == 1) {
      cursor = 0;
    } else if (b == 5) {
      cursor = chars.size();
    } else if (b == 4) {
      if (chars.empty()) return Outcome::EndOfInput;
      if (cursor < chars.size()) cut(cursor, cursor + 1);
    } else if (b == 10 || b == 13) {
      return Outcome::Enter;
    } else if (b == 3) {
      return Outcome::Interrupt;
    }
    return Outcome::Continue;
  }

  void key(EditKey k) {
    pending_.clear();
    if (k == EditKey::Left && cursor > 0) --cursor;
    if (k == EditKey::Right && cursor < chars.size()) ++cursor;
    if (k == EditKey::Home) cursor = 0;
    if (k == EditKey::End) cursor = chars.size();
    if (k == EditKey::Delete && cursor < chars.size()) cut(cursor, cursor + 1);
  }

  void cancel() { pending_.clear(); }

 private:
  void cut(std::size_t from, std::size_t to) {
    chars.erase(chars.begin() + static_cast<std::ptrdiff_t>(from), chars.begin() + static_cast<std::ptrdiff_t>(to));
    cursor = from;
  }

  Outcome add(ModelChar c) {
    if (chars.size() >= s_.max_chars) return Outcome::Refused;
    chars.insert(chars.begin() + static_cast<std::ptrdiff_t>(cursor++), std::move(c));
    return Outcome::Continue;
  }

  Outcome text(unsigned char b) {
    if (!utf8_) return add({std::string(1, static_cast<char>(b)), 1, b >= 0x80});
    if (!pending_.empty()) {
      const bool first = pending_.size() == 1;
      if (b >= (first ? lo_ : 0x80) && b <= (first ? hi_ : 0xbf)) {
        pending_ += static_cast<char>(b);
        code_ = (code_ << 6) | (b & 0x3f);
        return pending_.size() < need_ ? Outcome::Continue : complete();
      }
      pending_.clear();
    }
    pending_ = std::string(1, static_cast<char>(b));
    lo_ = b == 0xe0 ? 0xa0 : b == 0xf0 ? 0x90 : 0x80;
    hi_ = b == 0xed ? 0x9f : b == 0xf4 ? 0x8f : 0xbf;
    if (b < 0x80) {
      need_ = 1, code_ = b;
    } else if (b >= 0xc2 && b <= 0xdf) {
      need_ = 2, code_ = b & 0x1f;
    } else if (b >= 0xe0 && b <= 0xef) {
      need_ = 3, code_ = b & 0x0f;
    } else if (b >= 0xf0 && b <= 0xf4) {
      need_ = 4, code_ = b & 0x07;
    } else {
      pending_.clear();
      return Outcome::Continue;
    }
    return pending_.size() < need_ ? Outcome::Continue : complete();
  }

  Outcome complete() {
    std::string bytes;
    bytes.swap(pending_);
    const auto wc = static_cast<wchar_t>(code_);
    const int width = ::wcwidth(wc);
    if (!std::iswprint(static_cast<std::wint_t>(wc)) || width <= 0) return Outcome::Continue;
    return add({std::move(bytes), width, false});
  }

  EditSettings s_;
  bool utf8_;
  std::string pending_;
  std::size_t need_ = 0;
  unsigned long code_ = 0;
  unsigned char lo_ = 0x80, hi_ = 0xbf;
};

bool valid_in_locale(const std::string& s) {
  std::mbstate_t state{};
  for (std::size_t i = 0; i < s.size();) {
    wchar_t wc = 0;
    const std::size_t n = std::mbrtowc(&wc, s.data() + i, s.size() - i, &state);
    if (n == 0 || n > s.size() - i) return false;
    i += n;
  }
  return true;
}

// Everything the editor shows, against the model; empty when all holds.
std::string check(const LineEditor& e, const Model& m, std::size_t prev_first, bool shrunk, int field, bool utf8) {
  const std::string answer = e.answer();
  if (answer != m.answer()) return "answer differs from the model";
  if (e.cursor() != m.cursor || e.size() != m.chars.size()) return "cursor or size differs from the model";
  for (char c : answer)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "control byte in the answer";
  if (utf8 && !valid_in_locale(answer)) return "answer is not valid UTF-8";

  const std::vector<ModelChar>& cs = m.chars;
  const std::size_t n = cs.size(), cur = m.cursor, first = e.first_shown();
  auto columns = [&](std::size_t from, std::size_t to) {
    int w = 0;
    for (std::size_t i = from; i < to; ++i) w += cs[i].width;
    return w;
  };
  const int need = cur < n ? cs[cur].width : 1;
  auto visible = [&](std::size_t f) { return f <= cur && columns(f, cur) + need <= field; };
  auto tail = [&](std::size_t f) { return columns(f, n) + (cur == n ? 1 : 0); };
  if (!visible(first)) return "cursor or the character under it off screen";

  // Whole characters from the first shown, as many as fit.
  std::string text;
  int width = 0;
  for (std::size_t i = first; i < n && width + cs[i].width <= field; ++i) {
    text += cs[i].odd ? "?" : cs[i].bytes;
    width += cs[i].width;
  }
  const LineEditor::View v = e.view();
  if (v.text != text || v.width != width) return "view is not the fitting slice of whole characters";
  if (v.cursor_col != columns(first, cur) || v.cursor_col < 0 || v.cursor_col >= field) return "cursor column wrong";

  // Scrolled only as far as the cursor needs, except that a shortened line
  // is pulled back so no columns stay idle while its start is hidden.
  std::size_t least = std::min(prev_first, cur);
  while (!visible(least)) ++least;
  if (!shrunk) return first == least ? "" : "scrolled more than the cursor needs";
  if (first > least || (first < least && tail(first) > field)) return "pulled back without room";
  if (first > 0 && tail(first - 1) <= field) return "columns left idle while text is hidden on the left";
  return "";
}

struct WalkCounts {
  int refused = 0;
  int full = 0;  // steps with 256 characters on the line
  int scrolled = 0;
  int wide_at_edge = 0;
};

WalkCounts walk(bool utf8, unsigned seed, int walks) {
  static const char* const kSamples[] = {
      "\xc3\xa9",     "\xe6\x97\xa5", "\xf0\x9f\x98\x80", "\xcc\x81",     "\xe2\x80\x8b",
      "\xc2\x85",     "\xc2\xa0",     "\xe3\x80\x80",     "\xef\xbb\xbf", " ",
  };
  static const int kEditBytes[] = {1, 4, 5, 8, 11, 21, 23, 127, 24, 2, '#'};
  static const int kFields[] = {59, 59, 59, 2, 3, 7, 20};
  static const std::size_t kLimits[] = {256, 256, 5, 40};
  static const int kErase[] = {-1, 127, 8, 24, '#', 0, 0xc3};
  static const int kKill[] = {-1, 21, 2, 0};
  static const EditKey kKeys[] = {EditKey::Left, EditKey::Right, EditKey::Home, EditKey::End, EditKey::Delete};
  std::mt19937 rng(seed);
  auto pick = [&](auto const& list) { return list[rng() % (sizeof list / sizeof list[0])]; };
  WalkCounts counts;
  for (int w = 0; w < walks; ++w) {
    EditSettings s;
    s.field_columns = pick(kFields);
    s.max_chars = pick(kLimits);
    s.erase = pick(kErase);
    s.kill = pick(kKill);
    const bool typing = rng() % 2 == 0;  // long lines: few edits
    const int steps = typing ? 700 : 300;
    LineEditor e(s);
    Model m(s, utf8);
    std::string trail;  // the last steps, for a failure message
    for (int step = 0; step < steps; ++step) {
      const std::size_t prev_first = e.first_shown(), prev_size = e.size();
      const unsigned r = rng() % 100;
      std::string bytes;
      if (r < (typing ? 5u : 35u)) {
        bytes = std::string(1, static_cast<char>(rng() % 256));
      } else if (r < 60) {
        bytes = std::string(1, static_cast<char>(0x20 + rng() % 0x5f));
      } else if (r < 85) {
        bytes = pick(kSamples);
      } else if (r < (typing ? 87u : 93u)) {
        bytes = std::string(1, static_cast<char>(pick(kEditBytes)));
      } else if (r < 99) {
        const EditKey k = pick(kKeys);
        e.key(k);
        m.key(k);
        trail += "<key " + std::to_string(static_cast<int>(k)) + ">";
      } else {
        e.cancel();
        m.cancel();
        trail += "<cancel>";
      }
      for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const Outcome got = e.byte(b), want = m.byte(b);
        if (got != want) {
          ADD_FAILURE() << "walk " << w << " step " << step << ": outcome " << static_cast<int>(got) << " for byte "
                        << int{b} << ", model " << static_cast<int>(want) << "\nlast keys: " << trail;
          return counts;
        }
        counts.refused += got == Outcome::Refused;
      }
      if (!bytes.empty()) trail += "<" + testing::PrintToString(bytes) + ">";
      if (trail.size() > 400) trail.erase(0, trail.size() - 400);
      const std::string fault = check(e, m, prev_first, e.size() < prev_size, std::max(s.field_columns, 2), utf8);
      if (!fault.empty()) {
        ADD_FAILURE() << "walk " << w << " step " << step << ": " << fault << "\nlast keys: " << trail
                      << "\nanswer: " << testing::PrintToString(e.answer()) << " cursor " << e.cursor() << " first "
                      << e.first_shown();
        return counts;
      }
      counts.scrolled += e.first_shown() > 0;
      counts.full += e.size() == 256;
      if (s.field_columns == 59) {  // the slice stops short of a wide character
        std::size_t i = e.first_shown();
        int used = 0;
        while (i < m.chars.size() && used + m.chars[i].width <= 59) used += m.chars[i++].width;
        counts.wide_at_edge += i < m.chars.size() && used == 58 && m.chars[i].width == 2;
      }
    }
  }
  return counts;
}

TEST_F(LineEditWalkUtf8, InvariantsAndModelHoldOnRandomInput) {
  const WalkCounts c = walk(true, 20240611, 1500);
  // The walks reached the limit, scrolled, and met wide characters at the edge.
  EXPECT_GT(c.refused, 10000);
  EXPECT_GT(c.full, 1000);
  EXPECT_GT(c.scrolled, 100000);
  EXPECT_GT(c.wide_at_edge, 1000);
}

TEST_F(LineEditWalkSingleByte, InvariantsAndModelHoldOnRandomInput) {
  const WalkCounts c = walk(false, 7, 1500);
  EXPECT_GT(c.refused, 10000);
  EXPECT_GT(c.full, 1000);
  EXPECT_GT(c.scrolled, 100000);
}

}  // namespace
