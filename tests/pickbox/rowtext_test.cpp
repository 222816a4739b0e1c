#include "rowtext.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

class ShownText : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  }
  void TearDown() override { std::setlocale(LC_ALL, saved_.c_str()); }
  std::string saved_;
};

}  // namespace

TEST_F(ShownText, PrintableTextUnchanged) {
  for (const char* s : {"", "Banana", "x;touch f $(id) *", "Äpfel", "日本語", "e\xcc\x81t\xc3\xa9"})
    EXPECT_EQ(pickbox::shown_text(s), s);
}

TEST_F(ShownText, EachUndrawableCharacterTakesOneColumn) {
  EXPECT_EQ(pickbox::shown_text("a\tb\nc\rd"), "a?b?c?d");
  EXPECT_EQ(pickbox::shown_text("\x1b[31mred"), "?[31mred");
  EXPECT_EQ(pickbox::shown_text("del\x7f"), "del?");
  EXPECT_EQ(pickbox::shown_text("c1\xc2\x85."), "c1?.");
  EXPECT_EQ(pickbox::shown_text("bad\xff\xfe!"), "bad?" "?!");
  EXPECT_EQ(pickbox::shown_text("cut\xe6\x97"), "cut??");
  EXPECT_EQ(pickbox::shown_text("\xe6\x97" "a"), "??a");
  // A combining mark needs a character before it in the row.
  EXPECT_EQ(pickbox::shown_text("\xcc\x81" "a"), "?a");
}

TEST(ShownTextC, NonAsciiUndecodableInThePlainLocale) {
  std::string saved = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(pickbox::shown_text("\xc3\x84pfel"), "??pfel");
  std::setlocale(LC_ALL, saved.c_str());
}
