#include "find.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <random>
#include <string>
#include <vector>

using pickbox::Outcome;
using winkit::Key;
using winkit::KeyKind;

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
  const struct {
    const char* hay;
    const char* needle;
    bool found;
  } table[] = {
      {"Apple", "", true},          {"", "", true},           {"", "a", false},         {"Apple", "APPLE", true},
      {"Apple", "pLe", true},       {"Apple", "apples", false}, {"xxAPx", "ap", true},   {"a-b", "A-B", true},
      {"[", "{", false},            {"@", "`", false},         {"Äpfel", "äpfel", false}, {"ÄPFEL", "Äp", true},
      {"\xC4pfel", "\xE4p", false},  // bytes above ASCII never fold, whatever the locale
      {"日本語", "本", true},       {"日本語", "\xe6\x9c", true}, {"aaaaaaaab", "aaab", true}, {"aaaaaaaa", "aaab", false},
  };
  for (const auto& c : table)
    EXPECT_EQ(pickbox::contains(c.hay, pickbox::folded(c.needle)), c.found) << c.hay << " / " << c.needle;
  const std::string long_hay = std::string(3000, 'a') + "XyZ";  // past the fold buffer
  EXPECT_TRUE(pickbox::contains(long_hay, "axyz"));
  EXPECT_FALSE(pickbox::contains(long_hay, "xyza"));
}

TEST_F(Utf8, FindTextTakesWholePrintableCharactersOnly) {
  const std::pair<std::string, std::string> table[] = {
      {"abc", "abc"},
      {"a\tb\x01\x1b", "ab"},                    // controls are no text
      {"\xe6\x97\xa5x", "\xe6\x97\xa5x"},        // a wide character, then more
      {"\xe6\x97x", "x"},                        // a broken character is dropped, the byte after it kept
      {"\xe6\x97\xe6\x9c\xac", "\xe6\x9c\xac"},  // a lead byte inside one starts the next
      {"\x80\xff\xc0\xafok", "ok"},              // bytes that start nothing
      {"\xc2\x85z", "z"},                        // a control above ASCII
      {"ab\x7f", "a"},
      {"a\xc3\xa9\x7f", "a"},  // erase takes the whole character
      {"\x7f\x7fq", "q"},
      {"abc\x15Z", "Z"},
  };
  for (const auto& [bytes, want] : table) EXPECT_EQ(typed(bytes).text(), want) << bytes;
  pickbox::FindText t = typed(std::string(pickbox::find_max - 1, 'a'));
  EXPECT_FALSE(t.type(0xc3));
  EXPECT_FALSE(t.type(0xa9));  // two bytes more would pass the bound
  EXPECT_TRUE(t.type('b'));
  EXPECT_FALSE(t.type('c'));
  EXPECT_EQ(t.text().size(), pickbox::find_max);
}

TEST_F(Utf8, FindLineIsCutFromTheLeft) {
  const std::pair<std::string, std::string> table[] = {
      {"", "/"},
      {"abc", "/abc"},
      {std::string(21, 'x'), "/" + std::string(21, 'x')},
      {std::string(21, 'x') + "y", std::string(21, 'x') + "y"},
      {"0123456789abcdefghijklmnop", "456789abcdefghijklmnop"},
      {"日本語のテキストを表示します", "のテキストを表示します"},
      {"a日本語のテキストを表示しま", "語のテキストを表示しま"},
      {"日日日日日日日日日日日z", "日日日日日日日日日日z"},  // 21 columns: a wide one is not cut in half
  };
  for (const auto& [text, want] : table) EXPECT_EQ(typed(text).shown(22), want) << text;
}

namespace {

// The list as a person sees it, worked out apart from the program: the
// rows are the items holding the text, compared letter by letter.
struct Model {
  std::vector<std::string> items;
  bool finding = false;
  std::string text;
  int item = 0;  // the highlighted item, kept while nothing matches

  static bool same(char a, char b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
  }
  std::vector<int> rows() const {
    std::vector<int> out;
    for (int k = 0; k < static_cast<int>(items.size()); ++k) {
      const std::string& s = items[k];
      if (!finding || text.empty() || std::search(s.begin(), s.end(), text.begin(), text.end(), same) != s.end()) out.push_back(k);
    }
    return out;
  }
  int row() const {
    const std::vector<int> r = rows();
    const auto it = std::find(r.begin(), r.end(), item);
    return it == r.end() ? -1 : static_cast<int>(it - r.begin());
  }
  void follow() {
    const std::vector<int> r = rows();
    if (row() < 0 && !r.empty()) item = r.front();
  }
  void move_to(int row) {
    const std::vector<int> r = rows();
    if (!r.empty()) item = r[std::clamp(row, 0, static_cast<int>(r.size()) - 1)];
  }
};

struct KeyCase {
  const char* name;
  std::vector<Key> keys;  // what is sent
};

Key byte(unsigned char c) { return {KeyKind::Byte, c}; }

}  // namespace

// Random walks on random lists: after every key the rows, the highlighted
// item and the scroll position agree with the model; the highlight is always
// in sight and no blank row shows while rows past it could fill it.
TEST_F(Utf8, RandomWalksAgreeWithTheModel) {
  const std::vector<KeyCase> keys = {
      {"/", {byte('/')}},         {"a", {byte('a')}},          {"A", {byte('A')}},          {"b", {byte('b')}},
      {"j", {byte('j')}},         {"q", {byte('q')}},          {"Z", {byte('Z')}},          {"é", {byte(0xc3), byte(0xa9)}},
      {"BS", {byte(0x7f)}},       {"^H", {byte(0x08)}},        {"^U", {byte(0x15)}},        {"Esc", {{KeyKind::Escape}}},
      {"Up", {{KeyKind::Up}}},    {"Down", {{KeyKind::Down}}}, {"PgUp", {{KeyKind::PageUp}}}, {"PgDn", {{KeyKind::PageDown}}},
      {"Home", {{KeyKind::Home}}}, {"End", {{KeyKind::End}}},  {"Enter", {byte('\r')}},     {"Left", {{KeyKind::Left}}},
  };
  const std::string pieces[] = {"a", "B", "b", "j", "é", "q", "Z", "/", "x"};
  std::mt19937 rng(16);
  for (int list = 0; list < 60; ++list) {
    Model m;
    const int count = static_cast<int>(rng() % 45) + 1;
    for (int k = 0; k < count; ++k) {
      std::string s;
      for (int len = static_cast<int>(rng() % 5); len > 0; --len) s += pieces[rng() % 9];
      m.items.push_back(s);
    }
    std::vector<const char*> argv;
    for (const auto& s : m.items) argv.push_back(s.c_str());
    pickbox::ListState state({argv.data(), count});
    std::string trail;
    for (int step = 0; step < 300; ++step) {
      const KeyCase& kc = keys[rng() % keys.size()];
      trail += std::string(kc.name) + " ";
      Outcome out = Outcome::None;
      for (const Key& k : kc.keys) out = state.key(k);

      const std::string name = kc.name;
      const int n = static_cast<int>(m.rows().size());
      const int r = m.row();
      if (name == "Enter") {
        ASSERT_EQ(out, n > 0 ? Outcome::Choose : Outcome::Beep) << trail;
      } else if (name == "Esc" && !m.finding) {
        ASSERT_EQ(out, Outcome::Quit) << trail;
      } else if (name == "Esc") {
        m.finding = false;
        m.text.clear();
      } else if (!m.finding && name == "/") {
        m.finding = true;
      } else if (name == "Up" || (!m.finding && (name == "A"))) {
        m.move_to(r - 1);
      } else if (name == "Down" || (!m.finding && (name == "j"))) {
        m.move_to(r + 1);
      } else if (name == "PgUp") {
        m.move_to(r - pickbox::visible);
      } else if (name == "PgDn") {
        m.move_to(r + pickbox::visible);
      } else if (name == "Home") {
        m.move_to(0);
      } else if (name == "End") {
        m.move_to(n - 1);
      } else if (m.finding && (name == "BS" || name == "^H")) {
        const bool wide = m.text.size() >= 2 && (m.text.back() & 0xC0) == 0x80;
        m.text.resize(m.text.size() - std::min(m.text.size(), std::size_t(wide ? 2 : 1)));
      } else if (m.finding && name == "^U") {
        m.text.clear();
      } else if (m.finding && name != "Left") {
        for (const Key& k : kc.keys) m.text += static_cast<char>(k.byte);
      } else if (!m.finding && (name == "q" || name == "Z")) {
        ASSERT_EQ(out, name == "q" ? Outcome::Quit : Outcome::Choose) << trail;
      }
      m.follow();

      const std::vector<int> rows = m.rows();
      ASSERT_EQ(state.finding(), m.finding) << trail;
      ASSERT_EQ(state.find().text(), m.text) << trail;
      ASSERT_EQ(state.rows(), static_cast<int>(rows.size())) << trail;
      for (int k = 0; k < state.rows(); ++k) ASSERT_EQ(state.item(k), rows[k]) << trail;
      ASSERT_EQ(state.chosen(), rows.empty() ? -1 : m.item) << trail;
      const pickbox::Pos p = state.pos();
      ASSERT_GE(p.j, 0);
      ASSERT_LT(p.j, pickbox::visible);
      ASSERT_GE(p.yy, 0) << trail;
      ASSERT_LE(p.yy, std::max(0, state.rows() - pickbox::visible)) << trail;
    }
  }
}

// Where the highlight stands on screen when the rows change under it.
TEST(ShowRow, KeepsTheVisibleRowWhereTheListAllows) {
  const struct {
    int row, j, n;
    pickbox::Pos want;
  } table[] = {
      {0, 5, 0, {0, 0}},    {0, 5, 3, {0, 0}},    {2, 5, 3, {0, 2}},    {20, 5, 40, {15, 5}},
      {39, 5, 40, {26, 13}}, {30, 0, 40, {26, 4}}, {30, 13, 40, {17, 13}}, {3, 13, 40, {0, 3}},
  };
  for (const auto& c : table)
    EXPECT_EQ(pickbox::show_row(c.row, c.j, c.n), c.want) << c.row << " " << c.j << " " << c.n;
}
