#include "listnav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <random>
#include <string>

using pickbox::Action;
using pickbox::Pos;

namespace {

using winkit::Key;
using winkit::KeyKind;

Key byte(unsigned char c) { return {KeyKind::Byte, c}; }

// Letters as typed; 'U', 'D' stand for PgUp and PgDn here.
Pos press(Pos p, int n, const std::string& keys) {
  for (char c : keys) {
    const Key key = c == 'U' ? Key{KeyKind::PageUp} : c == 'D' ? Key{KeyKind::PageDown} : byte(c);
    p = pickbox::apply(pickbox::key_action(key), p, n);
  }
  return p;
}

}  // namespace

TEST(KeyAction, LettersByExactCodeAndDecodedKeys) {
  const std::pair<Key, Action> table[] = {
      {byte('j'), Action::Down},  {byte('B'), Action::Down},  {byte('k'), Action::Up},
      {byte('A'), Action::Up},    {byte('t'), Action::First}, {byte('g'), Action::Last},
      {byte(10), Action::Choose}, {byte(13), Action::Choose}, {byte('Z'), Action::Choose},
      {byte('q'), Action::Quit},  {{KeyKind::Up}, Action::Up}, {{KeyKind::Down}, Action::Down},
      {{KeyKind::Home}, Action::First}, {{KeyKind::End}, Action::Last}, {{KeyKind::PageUp}, Action::PageUp},
      {{KeyKind::PageDown}, Action::PageDown}, {{KeyKind::Escape}, Action::Quit}, {{KeyKind::Resize}, Action::Redraw},
      {{KeyKind::Closed}, Action::Closed}};
  for (const auto& [key, action] : table) EXPECT_EQ(pickbox::key_action(key), action) << int(key.kind) << " " << key.byte;
  // Case matters; the bytes of a sequence never arrive alone; keys no list uses do nothing.
  for (int c : std::initializer_list<int>{'J', 'b', 'K', 'a', 'T', 'G', 'z', 'Q', 27, '[', 'O', ' ', 0, 9})
    EXPECT_EQ(pickbox::key_action(byte(static_cast<unsigned char>(c))), Action::None) << c;
  for (KeyKind k : {KeyKind::Left, KeyKind::Right, KeyKind::Delete, KeyKind::Other})
    EXPECT_EQ(pickbox::key_action(Key{k}), Action::None) << int(k);
}

TEST(Scroll, PagesMoveFourteenRowsClampedAtTheEnds) {
  EXPECT_EQ(press({}, 40, "D"), (Pos{1, 13}));
  EXPECT_EQ(press({}, 40, "DD"), (Pos{15, 13}));
  EXPECT_EQ(press({}, 40, "DDDD"), (Pos{26, 13}));
  EXPECT_EQ(press({}, 40, "gU"), (Pos{25, 0}));
  EXPECT_EQ(press({}, 40, "UUU"), (Pos{0, 0}));
  EXPECT_EQ(press({}, 5, "D"), (Pos{0, 4}));
  EXPECT_EQ(press({}, 5, "DU"), (Pos{0, 0}));
  EXPECT_EQ(press({}, 0, "DU"), (Pos{0, 0}));
}

TEST(Scroll, TitleOnlyNothingMoves) {
  for (const char* keys : {"j", "k", "t", "g", "gj", "AB"}) EXPECT_EQ(press({}, 0, keys), (Pos{0, 0})) << keys;
}

// Random walks against the selected index alone: Down and Up move it by one
// within the list, 't' and 'g' go to its ends, and the window never shows a
// row past the last item.
TEST(Scroll, InvariantsHoldOnRandomWalks) {
  std::mt19937 rng(4);
  const char keys[] = "jBkAtgxUD";
  for (int n = 0; n <= 45; ++n) {
    Pos p;
    int sel = 0;
    for (int step = 0; step < 400; ++step) {
      char c = keys[rng() % (sizeof keys - 1)];
      p = press(p, n, std::string(1, c));
      if (c == 'j' || c == 'B') sel = std::min(sel + 1, std::max(n - 1, 0));
      if (c == 'k' || c == 'A') sel = std::max(sel - 1, 0);
      if (c == 't') sel = 0;
      if (c == 'g') sel = std::max(n - 1, 0);
      if (c == 'D') sel = std::min(sel + pickbox::kListRows, std::max(n - 1, 0));
      if (c == 'U') sel = std::max(sel - pickbox::kListRows, 0);
      SCOPED_TRACE("n=" + std::to_string(n) + " step=" + std::to_string(step) + " key=" + c);
      ASSERT_EQ(p.selected(), sel);
      ASSERT_GE(p.first_shown, 0);
      ASSERT_GE(p.highlight, 0);
      ASSERT_LE(p.highlight, pickbox::kListRows - 1);
      if (n <= pickbox::kListRows) {
        ASSERT_EQ(p.first_shown, 0);
      } else {
        ASSERT_LE(p.first_shown, n - pickbox::kListRows);
      }
    }
  }
}

