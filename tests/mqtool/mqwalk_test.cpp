// mqtool's command line read on its own: the grammar of rows and data, basename.
#include "mqwalk.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Act = mqwalk::Operation;
using mqwalk::Action;
using mqwalk::Say;

// A command line as argv holds it, which the walk must leave as it is.
struct Line {
  explicit Line(std::vector<std::string> args) : store(std::move(args)) {
    for (auto& s : store) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
    mqwalk::begin(w, static_cast<int>(store.size()), ptrs.data());
  }
  // All actions up to and including the last (Exit or End).
  std::vector<Action> walk() {
    std::vector<Action> out;
    for (;;) {
      out.push_back(mqwalk::next(w));
      if (out.back().act == Act::Exit || out.back().act == Act::End) return out;
    }
  }
  std::vector<std::string> store;
  std::vector<char*> ptrs;
  mqwalk::Walk w;
};

// The actions written short: S<key>:<text>, R<key>, N, D<key>, U, E, and X<status>
// followed by what is said: u usage line, t text too long, n argument count
// wrong for s or r, f key below the floor, o que-id out of range.
const char* said(Say say) {
  switch (say) {
    case Say::Nothing: return "";
    case Say::Usage: return "u";
    case Say::TooLong: return "t";
    case Say::SendCount: case Say::RecvCount: case Say::NewCount: case Say::DelCount: return "n";
    case Say::BelowFloor: return "f";
    case Say::OutOfRange: return "o";
  }
  return "?";
}

std::string brief(const std::vector<Action>& acts) {
  std::string out;
  for (const auto& a : acts) {
    if (!out.empty()) out += ' ';
    const std::string key = std::to_string(a.key);
    switch (a.act) {
      case Act::Send: out += "S" + key + ":" + std::string(a.text, a.len); break;
      case Act::Receive: out += "R" + key; break;
      case Act::New: out += "N"; break;
      case Act::Delete: out += "D" + key; break;
      case Act::Usage: out += "U"; break;
      case Act::Exit: out += "X" + std::to_string(a.status) + said(a.say); break;
      case Act::End: out += "E"; break;
    }
  }
  return out;
}

std::string walk(std::vector<std::string> args) {
  Line line(std::move(args));
  return brief(line.walk());
}

// The grammar, one command line a row: what it means and the actions it gives.
TEST(MqWalk, Grammar) {
  const std::string big = std::string(1024, 'a');
  std::vector<std::string> twenty_four(24, "-x"), twenty_five(25, "-x");
  twenty_four[0] = twenty_five[0] = "mqtool";
  const auto unknown = [](int letters) {
    std::string out;
    while (letters-- > 0) out += "U ";
    return out;
  };
  struct Row {
    const char* why;
    std::vector<std::string> args;
    std::string acts;
  } rows[] = {
      {"send", {"mqtool", "-s", "30001", "hello", "done"}, "S30001:hello E"},
      {"receive", {"mqtool", "-r", "30001"}, "R30001 E"},
      {"double letters act twice", {"mqtool", "-rr", "30001"}, "R30001 R30001 E"},
      {"double letters act twice", {"mqtool", "-ss", "30001", "hi", "done"}, "S30001:hi S30001:hi E"},
      {"unknown letter: usage, and on", {"mqtool", "-x", "30001"}, "U E"},
      {"unknown letters around r", {"mqtool", "-xrx", "30001"}, "U R30001 U E"},
      {"program name is a row too", {"-ab", "x", "y"}, "U U E"},
      {"lone dash is an empty row", {"mqtool", "-", "-"}, "E"},

      // Data keeps its dash and is never walked.
      {"text with a dash is sent whole", {"mqtool", "-s", "30001", "-x", "tag"}, "S30001:-x E"},
      {"text that looks like letters", {"mqtool", "-s", "30001", "-abc", "done"}, "S30001:-abc E"},
      {"tag with a dash is not walked", {"mqtool", "-s", "30001", "hello", "-tag"}, "S30001:hello E"},
      {"negative que-id is below the floor", {"mqtool", "-s", "-30001", "hello", "t"}, "X1f"},
      {"negative que-id is read as it is", {"mqtool", "-r", "-30001"}, "R-30001 E"},
      {"-s as the text of -s", {"mqtool", "-s", "30001", "-s", "x"}, "S30001:-s E"},
      {"-r as the tag of -s", {"mqtool", "-s", "30001", "hi", "-r"}, "S30001:hi E"},
      {"-r as the que-id of -r", {"mqtool", "-r", "-r"}, "R0 E"},
      {"data of both sends of -ss", {"mqtool", "-ss", "30001", "-x", "-y"}, "S30001:-x S30001:-x E"},
      {"data of both receives of -rr", {"mqtool", "-rr", "-30001"}, "R-30001 R-30001 E"},
      {"letters after s in its row are walked", {"mqtool", "-sx", "30001", "-y", "t"}, "S30001:-y U E"},
      // Only a letter before an argument makes it data; rows before it are walked.
      {"unknown letters before r, then r's count", {"mqtool", "-x", "-r", "30001"}, "U X1n"},
      {"unknown row, then s with its data", {"mqtool", "-x", "-s", "30001", "-y"}, "U S30001:-y E"},
      {"a row that is not data before s", {"mqtool", "-xx", "-s", "30001", "hi"}, "U U S30001:hi E"},
      {"s reaching past the end: usage", {"mqtool", "-x", "-y", "-s", "30001"}, "U U X1u"},
      {"a dashed program name is walked too", {"-s", "30001", "-a", "-b", "t"}, "S30001:-a E"},

      // Argument counts.
      {"too few", {"mqtool"}, "X1u"},
      {"too few", {"mqtool", "-r"}, "X1u"},
      {"s needs five in all", {"mqtool", "-s", "30001", "hello"}, "X1n"},
      {"s needs five in all", {"mqtool", "-s", "30001", "hello", "t", "u"}, "X1n"},
      {"r needs three in all", {"mqtool", "-r", "30001", "extra"}, "X1n"},
      {"letters before the refused one are done", {"mqtool", "-rs", "30001"}, "R30001 X1n"},
      {"r without its que-id", {"mqtool", "30001", "-r"}, "X1u"},
      {"s without its text", {"mqtool", "a", "b", "-s", "30001"}, "X1u"},
      {"s without anything", {"mqtool", "a", "b", "c", "-s"}, "X1u"},
      {"s without its tag still sends", {"mqtool", "a", "-s", "30001", "hi"}, "S30001:hi E"},

      // Que-ids, read as atoi reads them, within the range of key_t.
      {"send floor", {"mqtool", "-s", "9999", "hello", "done"}, "X1f"},
      {"send floor", {"mqtool", "-s", "10000", "hello", "done"}, "S10000:hello E"},
      {"not a number is 0", {"mqtool", "-s", "abc", "hello", "done"}, "X1f"},
      {"blanks, sign and junk", {"mqtool", "-s", " +20000x", "hello", "done"}, "S20000:hello E"},
      {"receive has no floor", {"mqtool", "-r", "0"}, "R0 E"},
      {"receive has no floor", {"mqtool", "-r", "abc"}, "R0 E"},
      {"receive has no floor", {"mqtool", "-r", "12"}, "R12 E"},
      {"largest key", {"mqtool", "-s", "2147483647", "hi", "t"}, "S2147483647:hi E"},
      {"past the largest key", {"mqtool", "-s", "2147483648", "hi", "t"}, "X1o"},
      {"would wrap to 50001", {"mqtool", "-s", "4295017297", "hi", "t"}, "X1o"},
      {"past the smallest key", {"mqtool", "-r", "-2147483649"}, "X1o"},
      {"smallest key", {"mqtool", "-r", "-2147483648"}, "R-2147483648 E"},
      {"range before the floor", {"mqtool", "-s", "-99999999999", "hi", "t"}, "X1o"},
      {"range is checked for each letter", {"mqtool", "-rr", "99999999999"}, "X1o"},

      // A run's own queue: n alone, d with a que-id; no other count.
      {"new queue", {"mqtool", "-n"}, "N E"},
      {"new queue twice", {"mqtool", "-nn"}, "N N E"},
      {"n among other letters", {"mqtool", "-xn"}, "U N E"},
      {"n takes nothing more", {"mqtool", "-n", "30001"}, "X1n"},
      {"n after a letter done", {"mqtool", "-rn", "30001"}, "R30001 X1n"},
      {"one argument without n is too few", {"mqtool", "-x"}, "X1u"},
      {"one argument without n is too few", {"mqtool", "-d"}, "X1u"},
      {"one argument without n is too few", {"mqtool", "-s"}, "X1u"},
      {"one argument without n is too few", {"mqtool", "n"}, "X1u"},
      {"n in the program name alone is no new queue", {"-n", "x"}, "X1u"},
      {"r in a lone n line", {"mqtool", "-rn"}, "X1n"},
      {"remove", {"mqtool", "-d", "30001"}, "D30001 E"},
      {"remove after receive", {"mqtool", "-rd", "30001"}, "R30001 D30001 E"},
      {"remove has no floor", {"mqtool", "-d", "abc"}, "D0 E"},
      {"remove keeps the dash", {"mqtool", "-d", "-30001"}, "D-30001 E"},
      {"remove out of range", {"mqtool", "-d", "2147483648"}, "X1o"},
      {"d needs three in all", {"mqtool", "-d", "30001", "x"}, "X1n"},
      {"d without its que-id", {"mqtool", "30001", "-d"}, "X1u"},
      {"three in all is no lone n", {"mqtool", "-nd", "30001"}, "X1n"},

      // Text sizes.
      {"one message full", {"mqtool", "-s", "30001", big, "done"}, "S30001:" + big + " E"},
      {"over one message", {"mqtool", "-s", "30001", big + "a", "done"}, "X1t"},
      {"the floor comes first", {"mqtool", "-s", "5", big + "a", "done"}, "X1f"},
      {"an empty text is a send of nothing", {"mqtool", "-s", "30001", "", "done"}, "S30001: E"},

      // Up to 24 arguments, and an option group of any length.
      {"24 arguments are taken", twenty_four, unknown(23) + "E"},
      {"25 are refused with usage", twenty_five, "X1u"},
      {"a group of 4000 letters", {"mqtool", "-" + std::string(4000, 'q'), "30001"}, unknown(4000) + "E"},
  };
  for (const Row& r : rows) {
    std::string line;
    for (const auto& a : r.args) line += (line.empty() ? "" : " ") + a.substr(0, 20);
    EXPECT_EQ(walk(r.args), r.acts) << r.why << ": " << line;
  }
}

TEST(MqWalk, ArgumentsAreLeftAsTheyAreAndDataIsNoRow) {
  Line line({"mqtool", "-s", "30001", "-abc", "-done"});
  EXPECT_STREQ(mqwalk::row(line.w, 3), "abc");  // not data until s is walked
  EXPECT_EQ(brief(line.walk()), "S30001:-abc E");
  EXPECT_EQ(line.store, (std::vector<std::string>{"mqtool", "-s", "30001", "-abc", "-done"}));
  for (int i = 1; i < 5; ++i) EXPECT_EQ(line.ptrs[static_cast<size_t>(i)], line.store[static_cast<size_t>(i)].data());
  EXPECT_STREQ(mqwalk::row(line.w, 0), "");
  EXPECT_STREQ(mqwalk::row(line.w, 1), "s");
  EXPECT_STREQ(mqwalk::row(line.w, 2), "");
  EXPECT_STREQ(mqwalk::row(line.w, 3), "");
  EXPECT_STREQ(mqwalk::row(line.w, 4), "");
}

TEST(MqWalk, WalkStaysDoneAfterExitOrEnd) {
  Line line({"mqtool", "-s", "1", "a", "b"});
  EXPECT_EQ(brief(line.walk()), "X1f");
  EXPECT_EQ(mqwalk::next(line.w).act, Act::End);
}

TEST(MqWalk, BaseName) {
  EXPECT_STREQ(mqwalk::base_name("mqtool"), "mqtool");
  EXPECT_STREQ(mqwalk::base_name("/usr/local/bin/mqtool"), "mqtool");
  EXPECT_STREQ(mqwalk::base_name("/mqtool"), "mqtool");
  EXPECT_STREQ(mqwalk::base_name("bin/"), "");
  EXPECT_STREQ(mqwalk::base_name(""), "");
}

}  // namespace
