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

// Options before PROMPT NAME; two arguments are data, whatever they say.
TEST(AskboxRequest, OptionsAndTheTwoArgumentForm) {
  const std::pair<std::vector<const char*>, std::string> rows[] = {  // prompt|name|secret|start text, or usage
      {{"-s", "N"}, "-s|N|0|"},          {{"-s", "P", "N"}, "P|N|1|"},   {{"-i", "-s", "P", "N"}, "P|N|0|-s"},
      {{"-s", "-i", "x y", "-s", "P", "N"}, "P|N|1|x y"}, {{"-i", "P", "N"}, "usage"}, {{"-x", "P", "N"}, "usage"},
      {{"word", "P", "N"}, "usage"},      {{"P", "N", "-s"}, "usage"}};
  for (const auto& [args, want] : rows) {
    std::vector<const char*> argv = {"askbox"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto r = askbox::parse_args(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(r ? r->prompt + "|" + r->name + "|" + (r->secret ? "1|" : "0|") + r->start_text : "usage", want) << argv[1];
  }
}

}  // namespace
