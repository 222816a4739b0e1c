// askbox's line editor without a terminal: random walks in UTF-8 and
// single-byte locales against a plain model of the line, and the cases the
// walks seldom or never make.
#include "lineedit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using askbox::EditKey;
using askbox::EditSettings;
using askbox::LineEditor;
using askbox::Outcome;

class InLocale : public ::testing::Test {
 protected:
  void use(const char* name) {
    saved_ = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << name;
  }
  void TearDown() override {
    if (!saved_.empty()) std::setlocale(LC_ALL, saved_.c_str());
  }

 private:
  std::string saved_;
};

class Utf8 : public InLocale {
 protected:
  void SetUp() override { use("C.UTF-8"); }
};

class SingleByte : public InLocale {
 protected:
  void SetUp() override {
    use("C");
    ASSERT_EQ(MB_CUR_MAX, 1u);
  }
};

using LineEditUtf8 = Utf8;
using LineEditScroll = Utf8;
using LineEditWalkUtf8 = Utf8;
using LineEditWalkSingleByte = SingleByte;

Outcome type(LineEditor& e, std::string_view bytes) {
  Outcome last = Outcome::Continue;
  for (char c : bytes) last = e.byte(static_cast<unsigned char>(c));
  return last;
}

LineEditor typed(std::string_view bytes, EditSettings s = {}) {
  LineEditor e(s);
  type(e, bytes);
  return e;
}

// Plays keys into e: bytes as typed, {L} for Left, {C} for a cancel; the
// last outcome.
Outcome play(LineEditor& e, std::string_view keys) {
  Outcome last = Outcome::Continue;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys.substr(i, 3) == "{L}" || keys.substr(i, 3) == "{C}") {
      last = keys[i + 1] == 'L' ? e.key(EditKey::Left) : e.cancel();
      i += 2;
    } else {
      last = e.byte(static_cast<unsigned char>(keys[i]));
    }
  }
  return last;
}

const std::string kWide = "\xe6\x97\xa5";  // U+65E5, two columns

// The keys (moves, deletes, Ctrl-D, the kills, line ends, the terminal's
// erase and kill bytes), the limit, what a character is and how the view
// scrolls are checked step by step against the model by the random walks
// below. Here what they seldom or never try.

TEST_F(LineEditUtf8, BrokenSequencesDroppedWholeAndTheNextByteTakenFresh) {
  const std::tuple<std::string, std::string, Outcome> rows[] = {
      {"ab\xff" "cd", "abcd", Outcome::Continue},
      {"\xc3" "a", "a", Outcome::Continue},
      {"\xe6\x97" "x", "x", Outcome::Continue},
      {"\xe6\x97\xe6\x97\xa5", kWide, Outcome::Continue},  // a new lead starts afresh
      {"\x80\xbf" "a\xa9", "a", Outcome::Continue},        // stray continuation bytes
      {"\xc0\xaf\xe0\x80\xaf", "", Outcome::Continue},     // overlong forms
      {"\xed\xa0\x80" "\xf4\x90\x80\x80" "\xf8\x88\x80\x80\x80", "", Outcome::Continue},  // surrogate, past U+10FFFF, 5 bytes
      {"\xc3\n", "", Outcome::Enter},
      // A key in the middle of a character cuts it.
      {"a\xe6\x97{L}\xa5", "a", Outcome::Continue},
      {"a\xe6\x7f\x97\xa5", "", Outcome::Continue},
      {"\xe6{C}\x97\xa5", "", Outcome::Continue},
  };
  for (const auto& [keys, answer, last] : rows) {
    LineEditor e;
    EXPECT_EQ(play(e, keys), last) << testing::PrintToString(keys);
    EXPECT_EQ(e.answer(), answer) << testing::PrintToString(keys);
  }
}

TEST_F(LineEditScroll, NarrowestFieldStillShowsTheCursor) {
  for (int columns : {-5, 0, 1}) {
    EditSettings s;
    s.field_columns = columns;  // taken as 2
    LineEditor e = typed(kWide + kWide, s);
    EXPECT_EQ(e.first_shown(), 2u);
    EXPECT_EQ(e.view().text, "");
    e.key(EditKey::Left);
    EXPECT_EQ(e.first_shown(), 1u);
    EXPECT_EQ(e.view().text, kWide);
    EXPECT_EQ(e.view().cursor_col, 0);
  }
}

// --- random walks ----------------------------------------------------------

// The line as the issue words it: the characters typed, minus what was
// deleted, with its own strict UTF-8 reading rather than the C library's.
struct ModelChar {
  std::string bytes;
  int width;
  bool odd;  // shown as '?'
};

class Model {
 public:
  Model(EditSettings s, bool utf8) : s_(s), utf8_(utf8) {}

  std::vector<ModelChar> chars;
  std::size_t cursor = 0;

  std::string answer() const {
    std::string out;
    for (const ModelChar& c : chars) out += c.bytes;
    return out;
  }

  Outcome byte(unsigned char b) {
    const bool erase = b == s_.erase && b > 0 && b < 0x80;
    const bool kill = b == s_.kill && b > 0 && b < 0x80;
    if (!erase && !kill && b >= 0x20 && b != 0x7f) return text(b);
    pending_.clear();
    if (erase || b == 8 || b == 0x7f) {
      if (cursor > 0) cut(cursor - 1, cursor);
    } else if (kill || b == 21) {
      cut(0, cursor);
    } else if (b == 11) {
      cut(cursor, chars.size());
    } else if (b == 23) {
      // Keep the text before the cursor up to the blank that precedes its
      // last word; no character but the blank holds a blank byte.
      std::string before;
      for (std::size_t i = 0; i < cursor; ++i) before += chars[i].bytes;
      const std::size_t word_end = before.find_last_not_of(' ');
      const std::size_t blank = word_end == std::string::npos ? std::string::npos : before.find_last_of(' ', word_end);
      const std::size_t keep = blank == std::string::npos ? 0 : blank + 1;
      std::size_t from = 0;
      for (std::size_t bytes = 0; bytes < keep; ++from) bytes += chars[from].bytes.size();
      cut(from, cursor);
    } else if (b == 1) {
      cursor = 0;
    } else if (b == 5) {
      cursor = chars.size();
    } else if (b == 4) {
      if (chars.empty()) return Outcome::EndOfInput;
      if (cursor < chars.size()) cut(cursor, cursor + 1);
    } else if (b == 10 || b == 13) {
      return Outcome::Enter;
    } else if (b == 3) {
      return Outcome::Interrupt;
    }
    return Outcome::Continue;
  }

  void key(EditKey k) {
    pending_.clear();
    if (k == EditKey::Left && cursor > 0) --cursor;
    if (k == EditKey::Right && cursor < chars.size()) ++cursor;
    if (k == EditKey::Home) cursor = 0;
    if (k == EditKey::End) cursor = chars.size();
    if (k == EditKey::Delete && cursor < chars.size()) cut(cursor, cursor + 1);
  }

  void cancel() { pending_.clear(); }

 private:
  void cut(std::size_t from, std::size_t to) {
    chars.erase(chars.begin() + static_cast<std::ptrdiff_t>(from), chars.begin() + static_cast<std::ptrdiff_t>(to));
    cursor = from;
  }

  Outcome add(ModelChar c) {
    if (chars.size() >= s_.max_chars) return Outcome::Refused;
    if (s_.secret) c.width = 1;  // one '*' a character
    chars.insert(chars.begin() + static_cast<std::ptrdiff_t>(cursor++), std::move(c));
    return Outcome::Continue;
  }

  Outcome text(unsigned char b) {
    if (!utf8_) return add({std::string(1, static_cast<char>(b)), 1, b >= 0x80});
    if (!pending_.empty()) {
      const bool first = pending_.size() == 1;
      if (b >= (first ? lo_ : 0x80) && b <= (first ? hi_ : 0xbf)) {
        pending_ += static_cast<char>(b);
        code_ = (code_ << 6) | (b & 0x3f);
        return pending_.size() < need_ ? Outcome::Continue : complete();
      }
      pending_.clear();
    }
    pending_ = std::string(1, static_cast<char>(b));
    lo_ = b == 0xe0 ? 0xa0 : b == 0xf0 ? 0x90 : 0x80;
    hi_ = b == 0xed ? 0x9f : b == 0xf4 ? 0x8f : 0xbf;
    if (b < 0x80) {
      need_ = 1, code_ = b;
    } else if (b >= 0xc2 && b <= 0xdf) {
      need_ = 2, code_ = b & 0x1f;
    } else if (b >= 0xe0 && b <= 0xef) {
      need_ = 3, code_ = b & 0x0f;
    } else if (b >= 0xf0 && b <= 0xf4) {
      need_ = 4, code_ = b & 0x07;
    } else {
      pending_.clear();
      return Outcome::Continue;
    }
    return pending_.size() < need_ ? Outcome::Continue : complete();
  }

  Outcome complete() {
    std::string bytes;
    bytes.swap(pending_);
    const auto wc = static_cast<wchar_t>(code_);
    const int width = ::wcwidth(wc);
    if (!std::iswprint(static_cast<std::wint_t>(wc)) || width <= 0) return Outcome::Continue;
    return add({std::move(bytes), width, false});
  }

  EditSettings s_;
  bool utf8_;
  std::string pending_;
  std::size_t need_ = 0;
  unsigned long code_ = 0;
  unsigned char lo_ = 0x80, hi_ = 0xbf;
};

bool valid_in_locale(const std::string& s) {
  std::mbstate_t state{};
  for (std::size_t i = 0; i < s.size();) {
    wchar_t wc = 0;
    const std::size_t n = std::mbrtowc(&wc, s.data() + i, s.size() - i, &state);
    if (n == 0 || n > s.size() - i) return false;
    i += n;
  }
  return true;
}

// Everything the editor shows, against the model; empty when all holds.
std::string check(const LineEditor& e, const Model& m, std::size_t prev_first, bool shrunk, int field, bool utf8,
                  bool secret) {
  const std::string answer = e.answer();
  if (answer != m.answer()) return "answer differs from the model";
  if (e.cursor() != m.cursor || e.size() != m.chars.size()) return "cursor or size differs from the model";
  for (char c : answer)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return "control byte in the answer";
  if (utf8 && !valid_in_locale(answer)) return "answer is not valid UTF-8";

  const std::vector<ModelChar>& cs = m.chars;
  const std::size_t n = cs.size(), cur = m.cursor, first = e.first_shown();
  auto columns = [&](std::size_t from, std::size_t to) {
    int w = 0;
    for (std::size_t i = from; i < to; ++i) w += cs[i].width;
    return w;
  };
  const int need = cur < n ? cs[cur].width : 1;
  auto visible = [&](std::size_t f) { return f <= cur && columns(f, cur) + need <= field; };
  auto tail = [&](std::size_t f) { return columns(f, n) + (cur == n ? 1 : 0); };
  if (!visible(first)) return "cursor or the character under it off screen";

  // Whole characters from the first shown, as many as fit.
  std::string text;
  int width = 0;
  for (std::size_t i = first; i < n && width + cs[i].width <= field; ++i) {
    text += secret ? "*" : cs[i].odd ? "?" : cs[i].bytes;
    width += cs[i].width;
  }
  const LineEditor::View v = e.view();
  if (v.text != text || v.width != width) return "view is not the fitting slice of whole characters";
  if (v.cursor_col != columns(first, cur) || v.cursor_col < 0 || v.cursor_col >= field) return "cursor column wrong";

  // Scrolled only as far as the cursor needs, except that a shortened line
  // is pulled back so no columns stay idle while its start is hidden.
  std::size_t least = std::min(prev_first, cur);
  while (!visible(least)) ++least;
  if (!shrunk) return first == least ? "" : "scrolled more than the cursor needs";
  if (first > least || (first < least && tail(first) > field)) return "pulled back without room";
  if (first > 0 && tail(first - 1) <= field) return "columns left idle while text is hidden on the left";
  return "";
}

struct WalkCounts {
  int refused = 0;
  int full = 0;  // steps with 256 characters on the line
  int scrolled = 0;
  int wide_at_edge = 0;
};

WalkCounts walk(bool utf8, unsigned seed, int walks) {
  static const char* const kSamples[] = {
      "\xc3\xa9",     "\xe6\x97\xa5", "\xf0\x9f\x98\x80", "\xcc\x81",     "\xe2\x80\x8b",
      "\xc2\x85",     "\xc2\xa0",     "\xe3\x80\x80",     "\xef\xbb\xbf", " ",
  };
  static const int kEditBytes[] = {1, 4, 5, 8, 11, 21, 23, 127, 24, 2, '#'};
  static const int kFields[] = {59, 59, 59, 2, 3, 7, 20};
  static const std::size_t kLimits[] = {256, 256, 5, 40};
  static const int kErase[] = {-1, 127, 8, 24, '#', 0, 0xc3};
  static const int kKill[] = {-1, 21, 2, 0};
  static const EditKey kKeys[] = {EditKey::Left, EditKey::Right, EditKey::Home, EditKey::End, EditKey::Delete};
  std::mt19937 rng(seed);
  auto pick = [&](auto const& list) { return list[rng() % (sizeof list / sizeof list[0])]; };
  WalkCounts counts;
  for (int w = 0; w < walks; ++w) {
    EditSettings s;
    s.field_columns = pick(kFields);
    s.max_chars = pick(kLimits);
    s.erase = pick(kErase);
    s.kill = pick(kKill);
    s.secret = rng() % 4 == 0;
    int field = std::max(s.field_columns, 2);
    const bool typing = rng() % 2 == 0;  // long lines: few edits
    const int steps = typing ? 700 : 300;
    LineEditor e(s);
    Model m(s, utf8);
    std::string trail;  // the last steps, for a failure message
    for (int step = 0; step < steps; ++step) {
      const std::size_t prev_first = e.first_shown(), prev_size = e.size();
      const unsigned r = rng() % 100;
      bool resized = false;
      std::string bytes;
      if (r < (typing ? 5u : 35u)) {
        bytes = std::string(1, static_cast<char>(rng() % 256));
      } else if (r < 60) {
        bytes = std::string(1, static_cast<char>(0x20 + rng() % 0x5f));
      } else if (r < 85) {
        bytes = pick(kSamples);
      } else if (r < (typing ? 87u : 93u)) {
        bytes = std::string(1, static_cast<char>(pick(kEditBytes)));
      } else if (r < 94 && !typing) {  // the window placed anew, narrower or wider
        field = pick(kFields);
        e.set_field_columns(field);
        field = std::max(field, 2);
        resized = true;
        trail += "<field " + std::to_string(field) + ">";
      } else if (r < 99) {
        const EditKey k = pick(kKeys);
        e.key(k);
        m.key(k);
        trail += "<key " + std::to_string(static_cast<int>(k)) + ">";
      } else {
        e.cancel();
        m.cancel();
        trail += "<cancel>";
      }
      for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        const Outcome got = e.byte(b), want = m.byte(b);
        if (got != want) {
          ADD_FAILURE() << "walk " << w << " step " << step << ": outcome " << static_cast<int>(got) << " for byte "
                        << int{b} << ", model " << static_cast<int>(want) << "\nlast keys: " << trail;
          return counts;
        }
        counts.refused += got == Outcome::Refused;
      }
      if (!bytes.empty()) trail += "<" + testing::PrintToString(bytes) + ">";
      if (trail.size() > 400) trail.erase(0, trail.size() - 400);
      const std::string fault = check(e, m, prev_first, resized || e.size() < prev_size, field, utf8, s.secret);
      if (!fault.empty()) {
        ADD_FAILURE() << "walk " << w << " step " << step << ": " << fault << "\nlast keys: " << trail
                      << "\nanswer: " << testing::PrintToString(e.answer()) << " cursor " << e.cursor() << " first "
                      << e.first_shown();
        return counts;
      }
      counts.scrolled += e.first_shown() > 0;
      counts.full += e.size() == 256;
      if (field == 59 && !s.secret) {  // the slice stops short of a wide character
        std::size_t i = e.first_shown();
        int used = 0;
        while (i < m.chars.size() && used + m.chars[i].width <= 59) used += m.chars[i++].width;
        counts.wide_at_edge += i < m.chars.size() && used == 58 && m.chars[i].width == 2;
      }
    }
  }
  return counts;
}

TEST_F(LineEditWalkUtf8, InvariantsAndModelHoldOnRandomInput) {
  const WalkCounts c = walk(true, 20240611, 1500);
  // The walks reached the limit, scrolled, and met wide characters at the edge.
  EXPECT_GT(c.refused, 10000);
  EXPECT_GT(c.full, 1000);
  EXPECT_GT(c.scrolled, 100000);
  EXPECT_GT(c.wide_at_edge, 1000);
}

TEST_F(LineEditWalkSingleByte, InvariantsAndModelHoldOnRandomInput) {
  const WalkCounts c = walk(false, 7, 1500);
  EXPECT_GT(c.refused, 10000);
  EXPECT_GT(c.full, 1000);
  EXPECT_GT(c.scrolled, 100000);
}

}  // namespace
