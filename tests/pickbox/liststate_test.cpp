#include "liststate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <iterator>
#include <random>
#include <string>
#include <vector>

using pickbox::Outcome;
using winkit::Key;
using winkit::KeyKind;

namespace {

class ListStateUtf8 : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr); }
  void TearDown() override { std::setlocale(LC_CTYPE, "C"); }
};

}  // namespace

namespace {

// The list as a person sees it, worked out apart from the program.
struct Model {
  std::vector<std::string> items;
  bool finding = false;
  std::string text;
  int item = 0;  // the highlighted item, kept while nothing matches

  std::vector<int> rows() const {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    auto same = [&](char a, char b) { return lower(a) == lower(b); };
    std::vector<int> out;
    for (int k = 0; k < static_cast<int>(items.size()); ++k) {
      const std::string& s = items[k];
      if (!finding || text.empty() || std::search(s.begin(), s.end(), text.begin(), text.end(), same) != s.end())
        out.push_back(k);
    }
    return out;
  }
  int row() const {
    const std::vector<int> r = rows();
    return static_cast<int>(std::find(r.begin(), r.end(), item) - r.begin());
  }
  void move_to(int row) {
    const std::vector<int> r = rows();
    if (!r.empty()) item = r[std::clamp(row, 0, static_cast<int>(r.size()) - 1)];
  }
};

// Keys by one character: < > Up and Down, [ ] the pages, ^ $ Home and End,
// ~ Esc, # a key no list uses; every other byte as typed.
Key decode(char c) {
  const std::string cursor = "<>[]^$~#";
  const KeyKind kinds[] = {KeyKind::Up,   KeyKind::Down, KeyKind::PageUp, KeyKind::PageDown,
                           KeyKind::Home, KeyKind::End,  KeyKind::Escape, KeyKind::Other};
  const auto at = cursor.find(c);
  return at == std::string::npos ? Key{KeyKind::Byte, static_cast<unsigned char>(c)} : Key{kinds[at]};
}

}  // namespace

// Random walks on random lists: after every key the rows, the highlighted
// item and its outcome agree with the model; the highlight is in sight and
// no blank row shows while rows past the end could fill it.
TEST_F(ListStateUtf8, RandomWalksAgreeWithTheModel) {
  const std::string keys[] = {"/", "a", "A", "b", "j", "q", "Z", "é", "<", ">", "[",
                              "]", "^", "$", "~", "\r", "\x7f", "\b", "\x15", "#"};
  std::mt19937 rng(16);
  for (int list = 0; list < 60; ++list) {
    Model m;
    for (int k = static_cast<int>(rng() % 45) + 1; k > 0; --k) {
      std::string s;
      for (int len = static_cast<int>(rng() % 5); len > 0; --len) s += keys[rng() % 8];
      m.items.push_back(s);
    }
    std::vector<const char*> argv;
    for (const auto& s : m.items) argv.push_back(s.c_str());
    pickbox::ListState state({argv.data(), static_cast<int>(argv.size())});
    std::string trail;
    for (int step = 0; step < 300; ++step) {
      const std::string u = keys[rng() % std::size(keys)];
      trail += (u[0] >= 0 && u[0] < 0x20) || u[0] == 0x7f ? "^" + std::to_string(u[0]) + " " : u + " ";
      Outcome out = Outcome::None;
      for (char c : u) out = state.key(decode(c));
      const bool f = m.finding;
      const int n = static_cast<int>(m.rows().size()), r = m.row();
      Outcome want = Outcome::None;
      if (u == "\r" || (!f && u == "Z")) want = n > 0 ? Outcome::Choose : Outcome::Beep;
      if (!f && (u == "~" || u == "q")) want = Outcome::Quit;
      if (u == "~") {
        m.finding = false;
        m.text.clear();
      } else if (u == "<" || (!f && u == "A")) m.move_to(r - 1);
      else if (u == ">" || (!f && u == "j")) m.move_to(r + 1);
      else if (u == "[" || u == "]") m.move_to(r + (u == "[" ? -pickbox::kListRows : pickbox::kListRows));
      else if (u == "^" || u == "$") m.move_to(u == "^" ? 0 : n - 1);
      else if (!f) m.finding = u == "/";
      else if (u == "\x7f" || u == "\b") {
        if (!m.text.empty()) m.text.erase(m.text.size() - ((m.text.back() & 0xC0) == 0x80 ? 2 : 1));
      }
      else if (u == "\x15") m.text.clear();
      else if (u != "#" && u != "\r") m.text += u;
      if (m.row() == static_cast<int>(m.rows().size())) m.move_to(0);  // no longer shown: the first match

      const std::vector<int> rows = m.rows();
      if (want != Outcome::None) {
        ASSERT_EQ(out, want) << trail;
      }
      ASSERT_EQ(state.finding(), m.finding) << trail;
      ASSERT_EQ(state.find().text(), m.text) << trail;
      ASSERT_EQ(state.rows(), static_cast<int>(rows.size())) << trail;
      for (int k = 0; k < state.rows(); ++k) ASSERT_EQ(state.item(k), rows[k]) << trail;
      ASSERT_EQ(state.chosen(), rows.empty() ? -1 : m.item) << trail;
      const pickbox::Pos p = state.pos();
      ASSERT_TRUE(p.highlight >= 0 && p.highlight < pickbox::kListRows && p.first_shown >= 0) << trail;
      ASSERT_LE(p.first_shown, std::max(0, state.rows() - pickbox::kListRows)) << trail;
    }
  }
}
