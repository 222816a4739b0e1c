#include "listnav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <initializer_list>
#include <random>
#include <string>

using pickbox::Action;
using pickbox::Pos;

namespace {

Pos press(Pos p, int n, const std::string& keys) {
  for (char c : keys) p = pickbox::apply(pickbox::key_action(static_cast<unsigned char>(c)), p, n);
  return p;
}

}  // namespace

TEST(KeyAction, ExactCodesOnly) {
  EXPECT_EQ(pickbox::key_action('j'), Action::Down);
  EXPECT_EQ(pickbox::key_action('B'), Action::Down);
  EXPECT_EQ(pickbox::key_action('k'), Action::Up);
  EXPECT_EQ(pickbox::key_action('A'), Action::Up);
  EXPECT_EQ(pickbox::key_action('t'), Action::First);
  EXPECT_EQ(pickbox::key_action('g'), Action::Last);
  EXPECT_EQ(pickbox::key_action(10), Action::Choose);
  EXPECT_EQ(pickbox::key_action(13), Action::Choose);
  EXPECT_EQ(pickbox::key_action('Z'), Action::Choose);
  EXPECT_EQ(pickbox::key_action('q'), Action::Quit);
  // Case matters, the rest of an escape sequence is inert, and so is a failed read.
  for (long ch : std::initializer_list<long>{'J', 'b', 'K', 'a', 'T', 'G', 'z', 'Q', 27, '[', 'O', ' ', 0, -1, 0x102, 0x103, 0x100 + 'j'})
    EXPECT_EQ(pickbox::key_action(ch), Action::None) << ch;
}

TEST(Scroll, FifteenItemsScrollOnce) {
  EXPECT_EQ(press({}, 15, std::string(13, 'j')), (Pos{0, 13}));
  EXPECT_EQ(press({}, 15, std::string(14, 'j')), (Pos{1, 13}));
  EXPECT_EQ(press({}, 15, std::string(15, 'j')), (Pos{1, 13}));
  EXPECT_EQ(press({}, 15, "g"), (Pos{1, 13}));
  EXPECT_EQ(press({}, 15, "gk"), (Pos{1, 12}));
}

TEST(Scroll, FortyItems) {
  EXPECT_EQ(press({}, 40, "g"), (Pos{26, 13}));
  EXPECT_EQ(press({}, 40, "g" + std::string(13, 'k')), (Pos{26, 0}));
  EXPECT_EQ(press({}, 40, "g" + std::string(14, 'k')), (Pos{25, 0}));
  EXPECT_EQ(press({}, 40, "g" + std::string(14, 'k') + "t"), (Pos{0, 0}));
  EXPECT_EQ(press({}, 40, "g" + std::string(14, 'k') + "g"), (Pos{26, 13}));
  EXPECT_EQ(press({}, 40, std::string(60, 'k')), (Pos{0, 0}));
}

TEST(Scroll, TitleOnlyNothingMoves) {
  for (const char* keys : {"j", "k", "t", "g", "gj", "AB"}) EXPECT_EQ(press({}, 0, keys), (Pos{0, 0})) << keys;
}

// Random walks against the selected index alone: Down and Up move it by one
// within the list, 't' and 'g' go to its ends, and the window never shows a
// row past the last item.
TEST(Scroll, InvariantsHoldOnRandomWalks) {
  std::mt19937 rng(4);
  const char keys[] = "jBkAtgx";
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
      SCOPED_TRACE("n=" + std::to_string(n) + " step=" + std::to_string(step) + " key=" + c);
      ASSERT_EQ(p.selected(), sel);
      ASSERT_GE(p.yy, 0);
      ASSERT_GE(p.j, 0);
      ASSERT_LE(p.j, pickbox::visible - 1);
      if (n <= pickbox::visible) {
        ASSERT_EQ(p.yy, 0);
      } else {
        ASSERT_LE(p.yy, n - pickbox::visible);
      }
    }
  }
}

TEST(QueueId, ReadAsAtoiWithoutWrapping) {
  EXPECT_EQ(pickbox::queue_id(nullptr), 30001);
  EXPECT_EQ(pickbox::queue_id("77"), 77);
  EXPECT_EQ(pickbox::queue_id(""), 0);
  EXPECT_EQ(pickbox::queue_id("word"), 0);
  EXPECT_EQ(pickbox::queue_id("  42x"), 42);
  EXPECT_EQ(pickbox::queue_id("+12"), 12);
  EXPECT_EQ(pickbox::queue_id("-5"), -5);
  EXPECT_EQ(pickbox::queue_id("4294997297"), INT_MAX);  // would wrap to 30001
  EXPECT_EQ(pickbox::queue_id("-99999999999999999999"), INT_MIN);
}
