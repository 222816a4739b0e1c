// Text fitting: cuts by bytes never split a character, and widths are what
// the terminal will take, so a clipped text never draws past its room.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "winkit.h"

namespace {

using winkit::clip_to_width;
using winkit::display_width;
using winkit::utf8_prefix;

class Utf8Locale : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr); }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST(Utf8Prefix, NeverEndsInsideACharacter) {
  EXPECT_EQ(utf8_prefix("hello", 79), 5u);
  EXPECT_EQ(utf8_prefix("hello", 3), 3u);
  EXPECT_EQ(utf8_prefix("hello", 0), 0u);
  const std::string e = "a\xc3\xa9z";  // é takes bytes 1 and 2
  EXPECT_EQ(utf8_prefix(e, 1), 1u);
  EXPECT_EQ(utf8_prefix(e, 2), 1u);
  EXPECT_EQ(utf8_prefix(e, 3), 3u);
  const std::string ja = "\xe3\x83\x80\xe3\x82\xa4";  // two characters of 3 bytes
  EXPECT_EQ(utf8_prefix(ja, 2), 0u);
  EXPECT_EQ(utf8_prefix(ja, 4), 3u);
  EXPECT_EQ(utf8_prefix(ja, 5), 3u);
  EXPECT_EQ(utf8_prefix(ja, 6), 6u);
  const std::string emoji = "x\xf0\x9f\x98\x80y";  // 4 bytes
  for (std::size_t n = 1; n <= 4; ++n) EXPECT_EQ(utf8_prefix(emoji, n), 1u) << n;
  EXPECT_EQ(utf8_prefix(emoji, 5), 5u);
}

TEST(Utf8Prefix, BytesThatAreNotUtf8AreCutAnywhere) {
  EXPECT_EQ(utf8_prefix("ab\xff\xfe", 3), 3u);
  // Continuation bytes with no lead byte before them.
  EXPECT_EQ(utf8_prefix("a\x80\x80\x80\x80\x80", 4), 4u);
  // A lead byte whose character is cut short still starts a character.
  EXPECT_EQ(utf8_prefix("a\xe3\x83z", 2), 1u);
}

TEST_F(Utf8Locale, DisplayWidth) {
  EXPECT_EQ(display_width(""), 0);
  EXPECT_EQ(display_width("abc"), 3);
  EXPECT_EQ(display_width("\xc3\xa9"), 1);  // é
  EXPECT_EQ(display_width("e\xcc\x81"), 1);  // e and a combining accent
  EXPECT_EQ(display_width("ダイアログメッセージです"), 24);
  EXPECT_EQ(display_width("\x01"), 2);  // shown as ^A
  EXPECT_EQ(display_width("\x7f"), 2);
  EXPECT_EQ(display_width("\t"), 8);
  EXPECT_EQ(display_width("\xff"), 4);  // undecodable: counted as the widest form
  EXPECT_EQ(display_width("a\xe3\x83"), 1 + 8);  // a character cut short: each byte alone
}

TEST_F(Utf8Locale, ClipToWidth) {
  EXPECT_EQ(clip_to_width("abcdef", 4), "abcd");
  EXPECT_EQ(clip_to_width("abc", 22), "abc");
  EXPECT_EQ(clip_to_width("abc", 0), "");
  // A wide character that does not fit is left out whole.
  EXPECT_EQ(clip_to_width("日本語", 5), "日本");
  EXPECT_EQ(clip_to_width("a日本", 2), "a");
  // Combining marks stay with their base character.
  EXPECT_EQ(clip_to_width("e\xcc\x81x", 1), "e\xcc\x81");
  EXPECT_EQ(clip_to_width("ab\x01", 3), "ab");
  EXPECT_EQ(clip_to_width("ab\xff", 5), "ab");
  // Whatever is kept fits.
  const std::string mixed = "x日\x01\xffé本\tz";
  for (int w = 0; w <= 30; ++w) {
    const auto kept = clip_to_width(mixed, w);
    EXPECT_LE(display_width(kept), w) << w;
    EXPECT_EQ(mixed.compare(0, kept.size(), kept), 0);
  }
}

TEST(CLocale, EveryByteAboveAsciiCountsAsUndecodable) {
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(display_width("abc"), 3);
  EXPECT_LE(clip_to_width("ab\xc3\xa9", 22).size(), 4u);
  EXPECT_LE(display_width(clip_to_width("ab\xc3\xa9xyz", 6)), 6);
}

}  // namespace
