// Finding items by typing: the find text, the items that contain it, and
// where the highlight goes as the text changes. Free of curses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "text.h"

namespace pickbox {

// No item is longer than one message, so a longer find text could match nothing.
constexpr std::size_t find_max = 1024;

// ASCII letters to lower case; every other byte as it is (a letter byte inside
// a wide character too).
std::string folded(std::string_view s);
// Whether hay holds folded_needle, ASCII letters in either case, starting
// where a character of the locale starts.
bool contains(std::string_view hay, std::string_view folded_needle);

// What the user typed on the find line: whole printable characters of the
// locale only; the bytes of a character wait until it is complete.
class FindText {
 public:
  bool type(unsigned char byte);  // true when a character was added
  bool erase();                   // the last character; true when there was one
  bool clear();                   // true when there was text
  const std::string& text() const { return text_; }
  // "/" and the text as drawn in `columns` columns, cut from the left.
  std::string shown(int columns) const;

 private:
  std::string text_;
  std::vector<unsigned char> lens_;  // byte length of each character
  winkit::CharReader pending_;       // a character's first bytes
};

// The items the program got, as views of its arguments: never copied.
struct ItemList {
  const char* const* texts = nullptr;
  int count = 0;
  std::string_view at(int k) const { return texts[k]; }
};

// The rows the list shows: every item, or those that hold a text, in order.
class Matches {
 public:
  void every(int count);  // every item, without a row list
  // Keeps those of the rows that hold the text: after it grew by a character.
  void narrow(const ItemList& items, std::string_view folded_needle);
  void refill(const ItemList& items, std::string_view folded_needle);
  int size() const { return all_ ? count_ : static_cast<int>(rows_.size()); }
  int item(int row) const { return all_ ? row : static_cast<int>(rows_[row]); }
  int row_of(int item) const;  // -1 when the item is not shown

 private:
  bool all_ = true;
  int count_ = 0;
  std::vector<std::uint32_t> rows_;  // item indices, ascending
};

}  // namespace pickbox
