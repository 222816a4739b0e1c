// Text fitting and key sequences: cuts by bytes never split a character,
// drawn text never holds what curses would spell out in several columns, and
// every escape sequence is taken whole.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <tuple>
#include <vector>

#include "proc.h"
#include "keys.h"
#include "text.h"

namespace {

using winkit::KeyKind;
using winkit::shown_text;
using winkit::char_prefix;
using winkit::wrap_text;

// Columns a drawable text takes, measured apart from the code under test.
int columns(const std::string& s) {
  std::wstring wide(s.size() + 1, L'\0');
  const std::size_t n = std::mbstowcs(wide.data(), s.c_str(), wide.size());
  if (n == static_cast<std::size_t>(-1)) return -1;
  return ::wcswidth(wide.c_str(), n);
}

class Utf8Locale : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

// The locales the tests compile, set for this process.
class TestLocale {
 public:
  explicit TestLocale(const char* name) {
    ::setenv("LOCPATH", testsupport::locale_dir().c_str(), 1);
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~TestLocale() {
    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
  }
  bool ok() const { return ok_; }

 private:
  bool ok_ = false;
};

TEST(LocalePrefix, CutsAtTheLocalesOwnCharacters) {
  struct Case {
    const char* locale;
    std::string text;
    std::size_t max;
    std::size_t want;
  };
  for (const Case& c : std::vector<Case>{
           // あい; a half-width ｱ (2 bytes); a JIS X 0212 character (3 bytes)
           {"ja_JP.eucJP", "\xa4\xa2\xa4\xa4", 3, 2},
           {"ja_JP.eucJP", "a\x8e\xb1", 2, 1},
           {"ja_JP.eucJP", "\x8f\xb0\xa1z", 2, 0},
           // ソ ends in 0x5C, and ｱ takes one byte
           {"ja_JP.SJIS", "x\x83\x5c\x83\x5c", 4, 3},
           {"ja_JP.SJIS", "\x83\x5c\\", 1, 0},
           {"ja_JP.SJIS", "\xb1\xb1\xb1", 2, 2},
           {"en_US.ISO-8859-1", "\xe9\xe9\xe9", 2, 2},
           {"C", "\xc3\xa9", 1, 1},
           // UTF-8: aé, 日本, an emoji after x.
           {"C.UTF-8", "hello", 79, 5}, {"C.UTF-8", "hello", 3, 3}, {"C.UTF-8", "hello", 0, 0},
           {"C.UTF-8", "a\xc3\xa9", 1, 1}, {"C.UTF-8", "a\xc3\xa9", 2, 1}, {"C.UTF-8", "a\xc3\xa9", 3, 3},
           {"C.UTF-8", "日本", 2, 0}, {"C.UTF-8", "日本", 4, 3}, {"C.UTF-8", "日本", 5, 3}, {"C.UTF-8", "日本", 6, 6},
           {"C.UTF-8", "x\xf0\x9f\x98\x80", 1, 1}, {"C.UTF-8", "x\xf0\x9f\x98\x80", 2, 1},
           {"C.UTF-8", "x\xf0\x9f\x98\x80", 3, 1}, {"C.UTF-8", "x\xf0\x9f\x98\x80", 4, 1},
           {"C.UTF-8", "x\xf0\x9f\x98\x80", 5, 5},
           // Bytes that are no part of a character are cut anywhere; a
           // character's start with no end is none.
           {"C.UTF-8", "ab\xff\xfe", 3, 3}, {"C.UTF-8", "a\x80\x80\x80\x80\x80", 4, 4}, {"C.UTF-8", "a\xe3\x83z", 2, 2},
       }) {
    const TestLocale locale(c.locale);
    ASSERT_TRUE(locale.ok()) << c.locale;
    EXPECT_EQ(char_prefix(c.text, c.max), c.want) << c.locale << " " << c.max;
  }
}

// Text as drawn in a number of columns: printable text unchanged, each
// undrawable character one mark, cut never inside a character.
TEST_F(Utf8Locale, ShownTextInColumns) {
  const std::tuple<std::string, int, std::string> rows[] = {
      {"", 80, ""}, {"Banana", 80, "Banana"}, {"x;touch f $(id) *", 80, "x;touch f $(id) *"}, {"Äpfel", 80, "Äpfel"},
      {"日本語", 80, "日本語"}, {"e\xcc\x81t\xc3\xa9", 80, "e\xcc\x81t\xc3\xa9"},
      {"a\tb\nc\rd", 80, "a?b?c?d"}, {"\x1b[31mred", 80, "?[31mred"}, {"del\x7f", 80, "del?"}, {"c1\xc2\x85.", 80, "c1?."},
      {"bad\xff\xfe!", 80, "bad?" "?!"}, {"cut\xe6\x97", 80, "cut??"}, {"\xe6\x97" "a", 80, "??a"},
      {std::string("a\0b", 3), 80, "a?b"},
      {"\xcc\x81" "a", 80, "?a"},  // a combining mark needs a character before it
      {"abcdef", 4, "abcd"}, {"abc", 0, ""}, {"日本語", 5, "日本"}, {"a日本", 2, "a"},
      {"e\xcc\x81x", 1, "e\xcc\x81"},  // the mark stays with its base
  };
  for (const auto& [text, cols, shown] : rows) EXPECT_EQ(shown_text(text, cols), shown) << testing::PrintToString(text);
  EXPECT_EQ(columns(shown_text("\x01\xff日", 80)), 4);
  const std::string mixed = "x日\x01\xffé本\tz\xcc\x81";
  for (int w = 0; w <= 20; ++w) EXPECT_LE(columns(shown_text(mixed, w)), w) << w;
}

TEST_F(Utf8Locale, WrapGoesOnWhereALineIsFullAndCutsTheRest) {
  EXPECT_EQ(wrap_text("short", 43, 3), (std::vector<std::string>{"short"}));
  EXPECT_EQ(wrap_text("", 43, 3), (std::vector<std::string>{""}));
  EXPECT_EQ(wrap_text("abcdefgh", 3, 2), (std::vector<std::string>{"abc", "def"}));
  // A wide character that would straddle the edge starts the next line.
  EXPECT_EQ(wrap_text("ab日本", 3, 3), (std::vector<std::string>{"ab", "日", "本"}));
  EXPECT_EQ(wrap_text("a\nb", 3, 3), (std::vector<std::string>{"a?b"}));
  for (const std::string s : {"日本語のテキストがここにあります。長い文章の例です。", "x日y本z語wテ"}) {
    for (int w = 1; w <= 9; ++w) {
      for (const auto& line : wrap_text(s, w, 4)) EXPECT_LE(columns(line), w) << s << " " << w;
    }
  }
}

TEST(CLocale, EveryByteAboveAsciiShowsAsOneMark) {
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(shown_text("\xc3\x84pfel", 80), "??pfel");
  EXPECT_EQ(columns(shown_text("ab\xc3\xa9", 80)), 4);
}

TEST(EscapeSequences, TakenWholeAndDecoded) {
  struct Case {
    const char* tail;
    KeyKind key;
  };
  for (const Case& c : std::vector<Case>{
           {"[A", KeyKind::Up},      {"OA", KeyKind::Up},         {"[B", KeyKind::Down},     {"OB", KeyKind::Down},
           {"[C", KeyKind::Right},   {"OD", KeyKind::Left},       {"[H", KeyKind::Home},     {"OF", KeyKind::End},
           {"[1~", KeyKind::Home},   {"[4~", KeyKind::End},       {"[3~", KeyKind::Delete},  {"[5~", KeyKind::PageUp},
           {"[6~", KeyKind::PageDown}, {"[Z", KeyKind::Other},    {"[15~", KeyKind::Other},  {"OP", KeyKind::Other},
           {"[7~", KeyKind::Home},   {"[8~", KeyKind::End},
           {"[1;5A", KeyKind::Other}, {"x", KeyKind::Other},      {"[M !!", KeyKind::Other}, {"[<0;3;4M", KeyKind::Other},
           {"[2~", KeyKind::Other},   {"\x1b[B", KeyKind::Other},  {"\x1b[7~", KeyKind::Other}, {"\x1bOA", KeyKind::Other}}) {
    const std::string tail = c.tail;
    EXPECT_TRUE(winkit::escape_complete(tail)) << tail;
    for (std::size_t k = 0; k < tail.size(); ++k) EXPECT_FALSE(winkit::escape_complete(tail.substr(0, k))) << tail;
    EXPECT_EQ(winkit::escape_key(tail), c.key) << tail;
  }
  EXPECT_TRUE(winkit::escape_complete(std::string(1, '[') + std::string(40, '1')));  // a runaway sequence ends
}

}  // namespace
