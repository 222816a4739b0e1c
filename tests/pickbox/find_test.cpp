#include "find.h"

#include <gtest/gtest.h>

#include "proc.h"

#include <algorithm>
#include <iterator>
#include <tuple>
#include <clocale>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

class Utf8 : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr); }
  void TearDown() override { std::setlocale(LC_CTYPE, "C"); }
};

pickbox::FindText typed(const std::string& bytes) {
  pickbox::FindText t;
  for (char c : bytes) {
    if (c == '\x7f')
      t.erase();
    else if (c == '\x15')
      t.clear();
    else
      t.type(static_cast<unsigned char>(c));
  }
  return t;
}

}  // namespace

TEST(Contains, AsciiLettersInEitherCaseEverythingElseExactly) {
  const std::tuple<const char*, const char*, bool> table[] = {
      {"Apple", "", true},    {"", "", true},         {"", "a", false},         {"xxAPplE", "apPLe", true},
      {"Apple", "apples", false}, {"[@", "{`", false}, {"Äpfel", "äpfel", false}, {"\xC4pfel", "\xE4p", false},
      {"日本語", "本", true}, {"aaaaab", "aab", true}, {"aaaaaa", "aab", false},
  };
  for (const auto& [hay, needle, found] : table)
    EXPECT_EQ(pickbox::contains(hay, pickbox::folded(needle)), found) << hay << " / " << needle;
  EXPECT_TRUE(pickbox::contains(std::string(3000, 'a') + "XyZ", "axyz"));  // past the fold buffer
}

// In EUC-JP the end of one character and the start of the next can spell a
// third, and in Shift_JIS a character's second byte can be an ASCII letter:
// neither is a match.
TEST(Contains, OnlyWhereACharacterOfTheLocaleStarts) {
  const std::tuple<const char*, const char*, const char*, bool> table[] = {
      {"ja_JP.eucJP", "\xA4\xA2\xA4\xA4", "\xA2\xA4", false},  // あい holds no ◆
      {"ja_JP.eucJP", "\xA4\xA2\xA4\xA4", "\xA4\xA4", true},
      {"ja_JP.eucJP", "x\xA4\xA2" "A", "\xA4\xA2" "a", true},
      {"ja_JP.SJIS", "\x83\x41", "a", false},  // ア
      {"ja_JP.SJIS", "\x83\x41", "A", false},
      {"ja_JP.SJIS", "\x83\x41X", "x", true},
  };
  ::setenv("LOCPATH", testsupport::locale_dir().c_str(), 1);
  for (const auto& [locale, hay, needle, found] : table) {
    ASSERT_NE(std::setlocale(LC_CTYPE, locale), nullptr) << locale;
    EXPECT_EQ(pickbox::contains(hay, pickbox::folded(needle)), found) << locale << ": " << hay << " / " << needle;
  }
  std::setlocale(LC_CTYPE, "C");
  ::unsetenv("LOCPATH");
}

TEST_F(Utf8, FindTextTakesWholePrintableCharactersAndIsCutFromTheLeft) {
  const std::tuple<std::string, std::string, std::string> table[] = {
      // typed (DEL erases, ^U clears), the text, the find line in 22 columns
      {"a\tb\x01\x1b", "ab", "/ab"},
      {"\xe6\x97x\x80\xff\xc2\x85", "x", "/x"},  // broken characters, stray bytes, a control above ASCII
      {"\xe6\x97\xe6\x9c\xac", "本", "/本"},     // a lead byte inside a character starts the next
      {"a\xc3\xa9\x7f", "a", "/a"},              // erase takes the whole character
      {"abc\x15Z\x7f\x7fq", "q", "/q"},
      {std::string(22, 'x'), std::string(22, 'x'), std::string(22, 'x')},
      {"a日本語のテキストを表示しま", "a日本語のテキストを表示しま", "語のテキストを表示しま"},
      {"日日日日日日日日日日日z", "日日日日日日日日日日日z", "日日日日日日日日日日z"},  // no half character
  };
  for (const auto& [bytes, text, line] : table) {
    const pickbox::FindText t = typed(bytes);
    EXPECT_EQ(t.text(), text) << bytes;
    EXPECT_EQ(t.shown(22), line) << bytes;
  }
  pickbox::FindText t = typed(std::string(pickbox::find_max - 1, 'a') + "\xc3\xa9");
  EXPECT_TRUE(t.type('b'));  // the two-byte character would pass the bound, one byte does not
  EXPECT_FALSE(t.type('c'));
  EXPECT_EQ(t.text(), std::string(pickbox::find_max - 1, 'a') + "b");
}
