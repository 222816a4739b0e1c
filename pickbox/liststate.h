// The list window's state: the rows shown, the highlight and the find
// line, and every key's effect on them. Free of curses.
#pragma once

#include "find.h"
#include "keys.h"
#include "listnav.h"

namespace pickbox {

// What a key did: Drawn when the window must be drawn again, Redraw when it
// must be placed again (a resize), None when nothing changed.
enum class Outcome { None, Drawn, Choose, Beep, Quit, Closed, Redraw };

// The list window's state and every key's effect on it.
class ListState {
 public:
  explicit ListState(ItemList items);
  Outcome key(const winkit::Key& key);

  bool finding() const { return finding_; }
  const FindText& find() const { return find_; }
  int rows() const { return matches_.size(); }
  int item(int row) const { return matches_.item(row); }
  Pos pos() const { return pos_; }
  // The highlighted item; -1 with none (no items, or no match).
  int chosen() const { return rows() > 0 ? item(pos_.selected()) : -1; }

 private:
  Outcome closed_key(const winkit::Key& key);
  Outcome finding_key(const winkit::Key& key);
  void follow_text(bool grew);

  ItemList items_;
  Matches matches_;
  Pos pos_;
  bool finding_ = false;
  FindText find_;
  int anchor_ = 0;  // the item last highlighted: it keeps the highlight while it matches
};

}  // namespace pickbox
