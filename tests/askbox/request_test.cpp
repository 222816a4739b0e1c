// askbox's command line, without a terminal.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "request.h"

namespace {

TEST(AskboxRequest, PromptCutOnACharacterBoundaryNameKeptWhole) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);  // what a character is, as askbox sets it
  const std::string prompt = std::string(78, 'p') + "\xc3\xa9" + "tail";  // the limit falls inside é
  const std::string name(5000, 'N');
  const char* argv[] = {"askbox", prompt.c_str(), name.c_str()};
  const auto r = askbox::parse_args(3, argv);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->prompt, std::string(78, 'p'));
  EXPECT_EQ(r->name, name);
  EXPECT_FALSE(askbox::parse_args(2, argv));
  std::setlocale(LC_CTYPE, "C");
}

}  // namespace
