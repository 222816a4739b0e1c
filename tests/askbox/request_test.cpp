// askbox's command line, without a terminal.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

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

// Options before PROMPT NAME; two arguments are always data. "usage" when
// the command line is refused.
TEST(AskboxRequest, OptionsAndTheTwoArgumentForm) {
  const struct {
    std::vector<const char*> args;
    std::string want;  // prompt|name|secret|start text
  } rows[] = {
      {{"-s", "N"}, "-s|N|0|"},
      {{"-i", "-s"}, "-i|-s|0|"},
      {{"-s", "P", "N"}, "P|N|1|"},
      {{"-i", "", "P", "N"}, "P|N|0|"},
      {{"-i", "-s", "P", "N"}, "P|N|0|-s"},  // TEXT is data, whatever it looks like
      {{"-s", "-i", "x y", "-s", "P", "N"}, "P|N|1|x y"},
      {{"-i", "a", "-i", "b", "P", "N"}, "P|N|0|b"},
      {{"-i", "P", "N"}, "usage"},  // -i with no TEXT before PROMPT NAME
      {{"-s", "-i", "P", "N"}, "usage"},
      {{"-x", "P", "N"}, "usage"},
      {{"-si", "t", "P", "N"}, "usage"},
      {{"word", "P", "N"}, "usage"},
      {{"P", "N", "-s"}, "usage"},
      {{"P"}, "usage"},
  };
  for (const auto& r : rows) {
    std::vector<const char*> argv = {"askbox"};
    argv.insert(argv.end(), r.args.begin(), r.args.end());
    const auto got = askbox::parse_args(static_cast<int>(argv.size()), argv.data());
    const std::string seen =
        got ? got->prompt + "|" + got->name + "|" + (got->secret ? "1" : "0") + "|" + got->start_text : "usage";
    EXPECT_EQ(seen, r.want) << testing::PrintToString(std::vector<std::string>(r.args.begin(), r.args.end()));
  }
}

}  // namespace
