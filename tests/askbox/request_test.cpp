// askbox's command line and the conversion of a wide line, without a terminal.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "request.h"

namespace {

TEST(AskboxRequest, PromptCutOnACharacterBoundaryNameKeptWhole) {
  const std::string prompt = std::string(78, 'p') + "\xc3\xa9" + "tail";  // the limit falls inside é
  const std::string name(5000, 'N');
  const char* argv[] = {"askbox", prompt.c_str(), name.c_str()};
  const auto r = askbox::parse_args(3, argv);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->msg, std::string(78, 'p'));
  EXPECT_EQ(r->ename, name);
  EXPECT_FALSE(askbox::parse_args(2, argv));
}

TEST(AskboxRequest, WideLineBackToUtf8) {
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  const wint_t line[] = {L'a', 0xE9, 0x65E5, 0x1F600, 0x1B, L'[', L'A', 0};
  EXPECT_EQ(askbox::encode_line(line), "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80\x1b[A");
  std::setlocale(LC_ALL, "C");
}

}  // namespace
