// mqtool's command line read on its own: option rows, the walk, basename.
#include "mqwalk.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using mqwalk::Act;
using mqwalk::Action;
using mqwalk::Say;

// A command line whose arguments the walk may change, as it does argv.
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

// The actions written short: S<key>:<text>, R<key>, U, X<status><say>, E.
std::string brief(const std::vector<Action>& acts) {
  std::string out;
  for (const auto& a : acts) {
    if (!out.empty()) out += ' ';
    switch (a.act) {
      case Act::Send:
        out += "S" + std::to_string(a.key) + ":" + std::string(a.text, a.len);
        break;
      case Act::Receive:
        out += "R" + std::to_string(a.key);
        break;
      case Act::Usage:
        out += "U";
        break;
      case Act::Exit:
        out += "X" + std::to_string(a.status) + (a.say == Say::Usage ? "u" : a.say == Say::TooLong ? "t" : "");
        break;
      case Act::End:
        out += "E";
        break;
    }
  }
  return out;
}

std::string walk(std::vector<std::string> args) {
  Line line(std::move(args));
  return brief(line.walk());
}

TEST(MqWalk, ArgumentCountOutsideThreeTo24IsRefusedWithUsage) {
  EXPECT_EQ(walk({"mqtool"}), "X1u");
  EXPECT_EQ(walk({"mqtool", "-r"}), "X1u");
  std::vector<std::string> many(25, "-x");
  many[0] = "mqtool";
  EXPECT_EQ(walk(many), "X1u");
  many.pop_back();
  EXPECT_EQ(walk(many).substr(0, 2), "U ");
}

TEST(MqWalk, SendAndReceive) {
  EXPECT_EQ(walk({"mqtool", "-s", "30001", "hello", "done"}), "S30001:hello E");
  EXPECT_EQ(walk({"mqtool", "-r", "30001"}), "R30001 E");
}

TEST(MqWalk, DoubleLettersActTwice) {
  EXPECT_EQ(walk({"mqtool", "-rr", "30001"}), "R30001 R30001 E");
  EXPECT_EQ(walk({"mqtool", "-ss", "30001", "hi", "done"}), "S30001:hi S30001:hi E");
}

TEST(MqWalk, SendKeyFloorIs10000) {
  EXPECT_EQ(walk({"mqtool", "-s", "9999", "hello", "done"}), "X1");
  EXPECT_EQ(walk({"mqtool", "-s", "10000", "hello", "done"}), "S10000:hello E");
  EXPECT_EQ(walk({"mqtool", "-s", "abc", "hello", "done"}), "X1");
  EXPECT_EQ(walk({"mqtool", "-s", " +20000x", "hello", "done"}), "S20000:hello E");
}

TEST(MqWalk, ReceiveKeyHasNoFloor) {
  EXPECT_EQ(walk({"mqtool", "-r", "0"}), "R0 E");
  EXPECT_EQ(walk({"mqtool", "-r", "abc"}), "R0 E");
  EXPECT_EQ(walk({"mqtool", "-r", "12"}), "R12 E");
}

TEST(MqWalk, LetterWithWrongCountExitsSilently) {
  EXPECT_EQ(walk({"mqtool", "-s", "30001", "hello"}), "X1");
  EXPECT_EQ(walk({"mqtool", "-r", "30001", "extra"}), "X1");
  EXPECT_EQ(walk({"mqtool", "-rs", "30001"}), "R30001 X1");
}

TEST(MqWalk, UnknownLetterGivesUsageAndGoesOn) {
  EXPECT_EQ(walk({"mqtool", "-x", "30001"}), "U E");
  EXPECT_EQ(walk({"mqtool", "-xrx", "30001"}), "U R30001 U E");
}

TEST(MqWalk, DashIsRemovedFromTheArgumentsThemselves) {
  Line line({"mqtool", "-s", "30001", "-abc", "done"});
  EXPECT_EQ(brief(line.walk()), "S30001:abc U U U E");
  EXPECT_STREQ(line.ptrs[1], "s");
  EXPECT_STREQ(line.ptrs[3], "abc");
  EXPECT_STREQ(mqwalk::row(line.w, 0), "");
  EXPECT_STREQ(mqwalk::row(line.w, 1), "s");
  EXPECT_STREQ(mqwalk::row(line.w, 2), "");
  EXPECT_STREQ(mqwalk::row(line.w, 3), "abc");
  EXPECT_STREQ(mqwalk::row(line.w, 4), "");
}

TEST(MqWalk, DashedQueIdIsReadWithoutDashThenWalkedAsLetters) {
  EXPECT_EQ(walk({"mqtool", "-s", "-30001", "hello", "done"}), "S30001:hello U U U U U E");
}

TEST(MqWalk, ProgramNameIsARowToo) {
  EXPECT_EQ(walk({"-ab", "x", "y"}), "U U E");
}

TEST(MqWalk, LoneDashIsAnEmptyRow) {
  EXPECT_EQ(walk({"mqtool", "-", "-"}), "E");
}

TEST(MqWalk, LetterWithoutItsArgumentsGivesUsageAndExit) {
  EXPECT_EQ(walk({"mqtool", "30001", "-r"}), "X1u");
  EXPECT_EQ(walk({"mqtool", "a", "b", "-s", "30001"}), "X1u");
  EXPECT_EQ(walk({"mqtool", "a", "b", "c", "-s"}), "X1u");
  EXPECT_EQ(walk({"mqtool", "-r", "-r"}), "R0 X1u");
}

TEST(MqWalk, TextUpToOneMessageIsSentLongerIsRefused) {
  Line line({"mqtool", "-s", "30001", std::string(1024, 'a'), "done"});
  auto at = line.walk();
  ASSERT_EQ(at.size(), 2u);
  EXPECT_EQ(at[0].act, Act::Send);
  EXPECT_EQ(at[0].len, 1024u);
  EXPECT_EQ(walk({"mqtool", "-s", "30001", std::string(1025, 'a'), "done"}), "X1t");
  // The floor comes first: nothing is said about the text then.
  EXPECT_EQ(walk({"mqtool", "-s", "5", std::string(1025, 'a'), "done"}), "X1");
}

TEST(MqWalk, EmptyTextIsASendOfNothing) {
  Line line({"mqtool", "-s", "30001", "", "done"});
  auto at = line.walk();
  EXPECT_EQ(at[0].act, Act::Send);
  EXPECT_EQ(at[0].len, 0u);
}

TEST(MqWalk, OptionGroupOfAnyLength) {
  Line line({"mqtool", "-" + std::string(4000, 'q'), "30001"});
  auto acts = line.walk();
  EXPECT_EQ(acts.size(), 4001u);
  EXPECT_EQ(acts.back().act, Act::End);
}

TEST(MqWalk, WalkStaysDoneAfterExitOrEnd) {
  Line line({"mqtool", "-s", "1", "a", "b"});
  EXPECT_EQ(brief(line.walk()), "X1");
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
